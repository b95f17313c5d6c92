// Reads one value from arbitrary bytes, writes it, and reads and writes the
// result again: the second encoding must equal the first (a fixed point),
// and the second read must consume exactly the first encoding.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "codec/byte_streams.h"
#include "codec/standard_codec_serializer.h"
#include "fuzz/quiet_stderr.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

bool ContainsNan(const EncodableValue& value) {
  if (const auto* number = std::get_if<double>(&value)) {
    return std::isnan(*number);
  }
  if (const auto* list = std::get_if<std::vector<double>>(&value)) {
    for (double number : *list) {
      if (std::isnan(number)) return true;
    }
  }
  if (const auto* list = std::get_if<std::vector<float>>(&value)) {
    for (float number : *list) {
      if (std::isnan(number)) return true;
    }
  }
  if (const auto* list = std::get_if<EncodableList>(&value)) {
    for (const EncodableValue& element : *list) {
      if (ContainsNan(element)) return true;
    }
  }
  if (const auto* map = std::get_if<EncodableMap>(&value)) {
    for (const auto& entry : *map) {
      if (ContainsNan(entry.first) || ContainsNan(entry.second)) return true;
    }
  }
  return false;
}

// A NaN is neither less nor greater than any double, so map keys holding
// one are not strictly ordered, and re-inserting them in written order may
// keep a different set of entries. Such values have no fixed point.
bool HasNanInAKey(const EncodableValue& value) {
  if (const auto* list = std::get_if<EncodableList>(&value)) {
    for (const EncodableValue& element : *list) {
      if (HasNanInAKey(element)) return true;
    }
  }
  if (const auto* map = std::get_if<EncodableMap>(&value)) {
    for (const auto& entry : *map) {
      if (ContainsNan(entry.first) || HasNanInAKey(entry.second)) return true;
    }
  }
  return false;
}

std::vector<uint8_t> Write(const EncodableValue& value) {
  std::vector<uint8_t> bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  flutter::StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const flutter::StandardCodecSerializer& serializer =
      flutter::StandardCodecSerializer::GetInstance();
  flutter::ByteBufferStreamReader reader(data, size);
  EncodableValue first = serializer.ReadValue(&reader);
  std::vector<uint8_t> once = Write(first);

  flutter::ByteBufferStreamReader again(once.data(), once.size());
  EncodableValue second = serializer.ReadValue(&again);
  if (again.RemainingBytes() != 0) {
    std::abort();
  }
  if (Write(second) != once && !HasNanInAKey(first)) {
    std::abort();
  }
  return 0;
}
