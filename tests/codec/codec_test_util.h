// Helpers shared by the codec and embedding tests: hex notation for byte
// strings, and one-call encode/decode with standard error captured.
#ifndef KEELHAVEN_TESTS_CODEC_CODEC_TEST_UTIL_H_
#define KEELHAVEN_TESTS_CODEC_CODEC_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "codec/byte_streams.h"
#include "codec/encodable_value.h"
#include "codec/standard_codec_serializer.h"

namespace keelhaven_test {

// "07 03 616263" -> {0x07, 0x03, 0x61, 0x62, 0x63}; spaces are ignored.
inline std::vector<uint8_t> Bytes(const std::string& hex) {
  std::string digits;
  for (char c : hex) {
    if (!std::isspace(static_cast<unsigned char>(c))) {
      digits += c;
    }
  }
  EXPECT_EQ(digits.size() % 2, 0u) << hex;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes.push_back(
        static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

inline std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t byte : bytes) {
    if (!hex.empty()) {
      hex += ' ';
    }
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

inline std::string Repeat(const std::string& text, size_t count) {
  std::string result;
  for (size_t i = 0; i < count; ++i) {
    result += text;
  }
  return result;
}

inline std::vector<uint8_t> Encode(
    const flutter::EncodableValue& value,
    const flutter::StandardCodecSerializer& serializer =
        flutter::StandardCodecSerializer::GetInstance()) {
  std::vector<uint8_t> bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  serializer.WriteValue(value, &writer);
  return bytes;
}

struct Decoded {
  flutter::EncodableValue value;
  std::string errors;  // What went to standard error meanwhile.
};

inline Decoded Decode(const std::vector<uint8_t>& bytes,
                      const flutter::StandardCodecSerializer& serializer =
                          flutter::StandardCodecSerializer::GetInstance()) {
  flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
  testing::internal::CaptureStderr();
  flutter::EncodableValue value = serializer.ReadValue(&reader);
  return {std::move(value), testing::internal::GetCapturedStderr()};
}

constexpr char kInvalidRead[] =
    "Invalid read in StandardCodecByteStreamReader\n";

}  // namespace keelhaven_test

namespace flutter {
// Failure messages show a value as its encoding.
inline void PrintTo(const EncodableValue& value, std::ostream* out) {
  *out << "EncodableValue(index " << value.index() << ": "
       << keelhaven_test::Hex(keelhaven_test::Encode(value)) << ")";
}
}  // namespace flutter

#endif  // KEELHAVEN_TESTS_CODEC_CODEC_TEST_UTIL_H_
