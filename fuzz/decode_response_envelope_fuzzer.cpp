// Decodes arbitrary bytes as a reply envelope into a result that re-encodes
// what it is given. A malformed error envelope may throw
// std::bad_variant_access; that is its documented failure.
#include <variant>

#include "codec/method_result.h"
#include "codec/standard_method_codec.h"
#include "fuzz/quiet_stderr.h"

namespace {

class EncodingResult : public flutter::MethodResult<flutter::EncodableValue> {
 protected:
  void HandleSuccess(const flutter::EncodableValue* result) override {
    Codec().EncodeSuccessEnvelope(result);
  }
  void HandleError(const std::string& code, const std::string& message,
                   const flutter::EncodableValue* details) override {
    Codec().EncodeErrorEnvelope(code, message, details);
  }
  void HandleNotImplemented() override {}

 private:
  static const flutter::StandardMethodCodec& Codec() {
    return flutter::StandardMethodCodec::GetInstance();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EncodingResult result;
  try {
    flutter::StandardMethodCodec::GetInstance().DecodeResponseEnvelope(
        data, size, &result);
  } catch (const std::bad_variant_access&) {
  }
  return 0;
}
