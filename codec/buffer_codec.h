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

// About how many bytes value takes, found without walking into it: exact
// for strings and typed lists, at least enough for other single values, a
// guess from the count for large lists and maps, and 0 for small ones.
size_t ExpectedSize(const EncodableValue& value);
// How many bytes string takes as a string value.
size_t EncodedStringSize(const std::string& string);

// Appends values to a byte array through a cursor, without a capacity check
// and a size update per byte. A message expected to be small is assembled
// in a scratch area inside the encoder and appended in one piece, so that
// the array is allocated once at its exact size without sizing the value
// first. Otherwise, or once the scratch area is full, the encoder writes
// into the array itself, whose bytes ahead of the cursor are then already
// part of it (zero-filled).
class BufferEncoder {
 public:
  // expected: about how many bytes will be written (ExpectedSize).
  BufferEncoder(std::vector<uint8_t>* buffer, size_t expected);
  // Trims the array to what was written; what is left in the scratch area
  // is lost unless Finish ran.
  ~BufferEncoder();
  BufferEncoder(const BufferEncoder&) = delete;
  BufferEncoder& operator=(const BufferEncoder&) = delete;

  void WriteByte(uint8_t byte) {
    Ensure(1);
    uint8_t* out = out_;
    *out = byte;
    out_ = out + 1;
  }
  // A string value, without building one.
  void WriteString(const std::string& string);
  // The tag and payload of value.
  void Write(const EncodableValue& value);
  // Leaves the array holding exactly what was written. Call once, last.
  void Finish();

 private:
  // Counted from the first byte of the array, for alignment.
  size_t Position() const { return base_ + size_t(out_ - begin_); }
  // Makes room for length bytes at the cursor.
  void Ensure(size_t length) {
    if (length > size_t(end_ - out_)) {
      Grow(length);
    }
  }
  void Grow(size_t length);
  void Reserve(size_t length);
  // Puts the cursor at position in the array, with length bytes of room
  // past it.
  void ToArray(size_t position, size_t length);
  // Appends the scratch area to the array and goes on there.
  void LeaveScratch(size_t length);

  void WriteBytes(const uint8_t* bytes, size_t length);
  // For bytes longer than the room at hand: no zero-fill to overwrite.
  void AppendDirectly(const uint8_t* bytes, size_t length);
  template <typename T>
  void WriteArray(uint8_t tag, const std::vector<T>& array);

  std::vector<uint8_t>& buffer_;
  size_t base_;     // Position of begin_.
  uint8_t* begin_;  // The scratch area or the array's first byte.
  uint8_t* out_;    // Next byte to write.
  uint8_t* end_;    // End of the room.
  uint8_t scratch_[512];
};

}  // namespace internal
}  // namespace flutter

#endif  // KEELHAVEN_CODEC_BUFFER_CODEC_H_
