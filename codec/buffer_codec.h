// The standard serializer's fast path over the byte-buffer streams: the same
// format, reports, limits and final position as the virtual path, without a
// virtual call per byte or per nested value. Used only when both the
// serializer and the stream are exactly the standard ones; a derived
// serializer or another stream keeps the virtual path, so its overrides
// apply at every depth.
#ifndef KEELHAVEN_CODEC_BUFFER_CODEC_H_
#define KEELHAVEN_CODEC_BUFFER_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <typeinfo>
#include <vector>

#include "codec/byte_streams.h"
#include "codec/encodable_value.h"

namespace flutter {

class StandardCodecSerializer;

namespace internal {

enum Tag : uint8_t {
  kNull = 0,
  kTrue = 1,
  kFalse = 2,
  kInt32 = 3,
  kInt64 = 4,
  kLargeInt = 5,  // Accepted when reading only; read as a string.
  kDouble = 6,
  kString = 7,
  kUInt8List = 8,
  kInt32List = 9,
  kInt64List = 10,
  kDoubleList = 11,
  kList = 12,
  kMap = 13,
  kFloat32List = 14,
};

// The tag a value is written with; custom goes out as null.
uint8_t TagOf(const EncodableValue& value);

// The lines both paths write to standard error.
void ReportUnknownType(uint8_t type);
void ReportNestingTooDeep();
void ReportCustomValue();

// The buffer streams' state, for the fast path.
struct BufferAccess {
  static size_t& Location(ByteBufferStreamReader& reader) {
    return reader.location_;
  }
  static const uint8_t* Bytes(const ByteBufferStreamReader& reader) {
    return reader.bytes_;
  }
  static size_t Size(const ByteBufferStreamReader& reader) {
    return reader.size_;
  }
  static std::vector<uint8_t>* Buffer(ByteBufferStreamWriter& writer) {
    return writer.buffer_;
  }
};

// The buffer reader when serializer and stream allow the fast path, else
// null.
ByteBufferStreamReader* FastReader(const StandardCodecSerializer& serializer,
                                   ByteStreamReader* stream);
// The writer's array when serializer and stream allow the fast path, else
// null.
std::vector<uint8_t>* FastBuffer(const StandardCodecSerializer& serializer,
                                 ByteStreamWriter* stream);

// Reads the payload of a value whose tag has been consumed, starting at
// nesting depth depth (lists and maps already open around it).
EncodableValue ReadFromBuffer(uint8_t type, ByteBufferStreamReader* reader,
                              int depth);

// How many bytes value takes when written at position.
size_t EncodedSize(const EncodableValue& value, size_t position);
// How many bytes string takes as a string value.
size_t EncodedStringSize(const std::string& string);
// Makes room for bytes more in buffer, growing geometrically.
void ReserveFor(std::vector<uint8_t>* buffer, size_t bytes);
// Appends the tag and payload of value; room should have been reserved.
void WriteToBuffer(const EncodableValue& value, std::vector<uint8_t>* buffer);
// Appends a string value without building one.
void WriteStringToBuffer(const std::string& string,
                         std::vector<uint8_t>* buffer);

}  // namespace internal
}  // namespace flutter

#endif  // KEELHAVEN_CODEC_BUFFER_CODEC_H_
