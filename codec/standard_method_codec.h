// The standard method codec: method calls as two values (name, arguments),
// replies as an envelope byte (0 success, 1 error) followed by values, all in
// the standard codec serializer's format.
#ifndef KEELHAVEN_CODEC_STANDARD_METHOD_CODEC_H_
#define KEELHAVEN_CODEC_STANDARD_METHOD_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/method_codec.h"
#include "codec/standard_codec_serializer.h"

namespace flutter {

class StandardMethodCodec : public MethodCodec<EncodableValue> {
 public:
  // The one codec for serializer (null: the shared serializer). Codecs live
  // until the process ends, so a caller may keep the reference. Only the
  // first call is thread-safe: later calls must not race each other.
  static const StandardMethodCodec& GetInstance(
      const StandardCodecSerializer* serializer = nullptr);

  ~StandardMethodCodec() override;

  // Writes "Invalid method call; method name is not a string." to standard
  // error and gives null when the first value is not a string. A call that
  // ends after its name has null arguments.
  std::unique_ptr<MethodCall<EncodableValue>> DecodeMethodCall(
      const uint8_t* message, size_t message_size) const override;

  std::unique_ptr<std::vector<uint8_t>> EncodeMethodCall(
      const MethodCall<EncodableValue>& method_call) const override;

  std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelope(
      const EncodableValue* result) const override;

  std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelope(
      const std::string& error_code, const std::string& error_message,
      const EncodableValue* error_details) const override;

  // An error envelope whose message is neither null nor a string, or whose
  // code is not a string, throws std::bad_variant_access.
  bool DecodeResponseEnvelope(
      const uint8_t* response, size_t response_size,
      MethodResult<EncodableValue>* result) const override;

 private:
  explicit StandardMethodCodec(const StandardCodecSerializer* serializer);

  const StandardCodecSerializer* serializer_;
};

}  // namespace flutter

#endif  // KEELHAVEN_CODEC_STANDARD_METHOD_CODEC_H_
