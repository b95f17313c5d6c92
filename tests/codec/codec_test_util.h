// Helpers shared by the codec and embedding tests: one-call encode/decode
// with standard error captured, buffer streams that count their one-byte
// calls, and values printed as their encoding.
#ifndef KEELHAVEN_TESTS_CODEC_CODEC_TEST_UTIL_H_
#define KEELHAVEN_TESTS_CODEC_CODEC_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "codec/byte_streams.h"
#include "codec/encodable_value.h"
#include "codec/standard_codec_serializer.h"
#include "tests/support/text.h"

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

// Buffer streams that hand out no memory: they see every byte one at a time.
struct CountingReader : flutter::ByteBufferStreamReader {
  using ByteBufferStreamReader::ByteBufferStreamReader;
  uint8_t ReadByte() override {
    ++calls;
    return ByteBufferStreamReader::ReadByte();
  }
  flutter::internal::SpanSource* InputSpan() override { return nullptr; }
  int calls = 0;
};
struct CountingWriter : flutter::ByteBufferStreamWriter {
  using ByteBufferStreamWriter::ByteBufferStreamWriter;
  void WriteByte(uint8_t byte) override {
    ++calls;
    ByteBufferStreamWriter::WriteByte(byte);
  }
  std::vector<uint8_t>* OutputArray() override { return nullptr; }
  int calls = 0;
};

namespace flutter {
// Failure messages show a value as its encoding.
inline void PrintTo(const EncodableValue& value, std::ostream* out) {
  *out << "EncodableValue(index " << value.index() << ": "
       << Hex(::Encode(value)) << ")";
}
}  // namespace flutter

#endif  // KEELHAVEN_TESTS_CODEC_CODEC_TEST_UTIL_H_
