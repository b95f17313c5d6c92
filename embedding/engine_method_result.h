// The result handed to a method handler for a call from the engine: it
// encodes the answer with the channel's codec and sends it back once.
#ifndef KEELHAVEN_EMBEDDING_ENGINE_METHOD_RESULT_H_
#define KEELHAVEN_EMBEDDING_ENGINE_METHOD_RESULT_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/method_codec.h"
#include "codec/method_result.h"

namespace flutter {

// Sends reply bytes for one message; reply is null for an empty reply.
using ReplyCallback =
    std::function<void(const uint8_t* reply, size_t reply_size)>;

// Calls its callback at most once. A second send is refused with a line on
// standard error; destroying it unsent leaves a warning there (the message
// then never gets a reply).
class OneShotReply {
 public:
  explicit OneShotReply(ReplyCallback reply);
  ~OneShotReply();
  OneShotReply(const OneShotReply&) = delete;
  OneShotReply& operator=(const OneShotReply&) = delete;

  // Null or an empty vector sends an empty reply: a null pointer, size 0.
  void Send(const std::vector<uint8_t>* data);

 private:
  ReplyCallback reply_;
};

template <typename T = EncodableValue>
class EngineMethodResult : public MethodResult<T> {
 public:
  // codec must outlive the result.
  EngineMethodResult(ReplyCallback reply, const MethodCodec<T>* codec)
      : reply_(std::make_unique<OneShotReply>(std::move(reply))),
        codec_(codec) {}
  ~EngineMethodResult() override = default;

 protected:
  // A duplicate answer is still encoded before OneShotReply drops it.
  void HandleSuccess(const T* result) override {
    std::unique_ptr<std::vector<uint8_t>> data =
        codec_->EncodeSuccessEnvelope(result);
    reply_->Send(data.get());
  }

  void HandleError(const std::string& error_code,
                   const std::string& error_message,
                   const T* error_details) override {
    std::unique_ptr<std::vector<uint8_t>> data =
        codec_->EncodeErrorEnvelope(error_code, error_message, error_details);
    reply_->Send(data.get());
  }

  void HandleNotImplemented() override { reply_->Send(nullptr); }

 private:
  std::unique_ptr<OneShotReply> reply_;
  const MethodCodec<T>* codec_;
};

}  // namespace flutter

#endif  // KEELHAVEN_EMBEDDING_ENGINE_METHOD_RESULT_H_
