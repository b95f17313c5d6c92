// A named channel that carries method calls: decodes each incoming message
// with the channel's method codec and hands the call, with the result that
// answers it, to the channel's handler.
#ifndef KEELHAVEN_EMBEDDING_METHOD_CHANNEL_H_
#define KEELHAVEN_EMBEDDING_METHOD_CHANNEL_H_

#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/method_codec.h"
#include "codec/method_result.h"
#include "embedding/binary_messenger.h"
#include "embedding/engine_method_result.h"

namespace flutter {

// Handles one method call. The call is valid only during the handler; the
// result passes to the handler, which answers it once, now or later.
template <typename T = EncodableValue>
using MethodHandler = std::function<void(
    const MethodCall<T>& call, std::unique_ptr<MethodResult<T>> result)>;

template <typename T = EncodableValue>
class MethodChannel {
 public:
  // Neither messenger nor codec is owned: the messenger must outlive the
  // channel's use, the codec every message.
  MethodChannel(BinaryMessenger* messenger, const std::string& name,
                const MethodCodec<T>* codec)
      : messenger_(messenger), name_(name), codec_(codec) {}
  // Leaves the handler registered with the messenger.
  ~MethodChannel() = default;
  MethodChannel(const MethodChannel&) = delete;
  MethodChannel& operator=(const MethodChannel&) = delete;

  // Registers handler for the channel's calls, replacing any earlier one;
  // an empty handler unregisters the channel.
  void SetCallHandler(MethodHandler<T> handler) const {
    if (!handler) {
      messenger_->SetChannelHandler(name_, nullptr);
      return;
    }
    messenger_->SetChannelHandler(name_, [call_handler = std::move(handler),
                                          codec = codec_,
                                          name = name_](const uint8_t* message,
                                                        size_t message_size,
                                                        ReplyCallback reply) {
      // Made before decoding, so that every message gets an answer.
      auto result =
          std::make_unique<EngineMethodResult<T>>(std::move(reply), codec);
      std::unique_ptr<MethodCall<T>> call =
          codec->DecodeMethodCall(message, message_size);
      if (!call) {
        std::cerr << "Unable to construct method call from message on channel "
                  << name << std::endl;
        result->NotImplemented();
        return;
      }
      call_handler(*call, std::move(result));
    });
  }

 private:
  BinaryMessenger* messenger_;
  std::string name_;
  const MethodCodec<T>* codec_;
};

}  // namespace flutter

#endif  // KEELHAVEN_EMBEDDING_METHOD_CHANNEL_H_
