// Decodes arbitrary bytes as a method call; a decoded call must survive
// encoding and decoding again with the same name.
#include <cstdlib>
#include <memory>

#include "codec/standard_method_codec.h"
#include "fuzz/quiet_stderr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const flutter::StandardMethodCodec& codec =
      flutter::StandardMethodCodec::GetInstance();
  std::unique_ptr<flutter::MethodCall<flutter::EncodableValue>> call =
      codec.DecodeMethodCall(data, size);
  if (!call) {
    return 0;
  }
  std::unique_ptr<std::vector<uint8_t>> encoded = codec.EncodeMethodCall(*call);
  std::unique_ptr<flutter::MethodCall<flutter::EncodableValue>> again =
      codec.DecodeMethodCall(encoded->data(), encoded->size());
  if (!again || again->name() != call->name() || again->args() == nullptr) {
    std::abort();
  }
  return 0;
}
