// Turns method calls and reply envelopes into bytes and back.
#ifndef KEELHAVEN_CODEC_METHOD_CODEC_H_
#define KEELHAVEN_CODEC_METHOD_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/method_result.h"

namespace flutter {

template <typename T = EncodableValue>
class MethodCodec {
 public:
  MethodCodec() = default;
  virtual ~MethodCodec() = default;
  MethodCodec(const MethodCodec&) = delete;
  MethodCodec& operator=(const MethodCodec&) = delete;

  // Null when the message is not a method call.
  virtual std::unique_ptr<MethodCall<T>> DecodeMethodCall(
      const uint8_t* message, size_t message_size) const = 0;

  virtual std::unique_ptr<std::vector<uint8_t>> EncodeMethodCall(
      const MethodCall<T>& method_call) const = 0;

  // result may be null: a success without a value.
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelope(
      const T* result) const = 0;

  // error_details may be null.
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelope(
      const std::string& error_code, const std::string& error_message,
      const T* error_details) const = 0;

  // Answers result from a reply envelope. False, with result untouched, when
  // the bytes are not an envelope.
  virtual bool DecodeResponseEnvelope(const uint8_t* response,
                                      size_t response_size,
                                      MethodResult<T>* result) const = 0;
};

}  // namespace flutter

#endif  // KEELHAVEN_CODEC_METHOD_CODEC_H_
