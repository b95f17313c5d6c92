// Turns one EncodableValue into bytes and back, in the standard message
// codec's format: a one-byte type tag, then the payload, numbers
// little-endian, doubles and typed lists aligned to their element width from
// the start of the message.
#ifndef KEELHAVEN_CODEC_STANDARD_CODEC_SERIALIZER_H_
#define KEELHAVEN_CODEC_STANDARD_CODEC_SERIALIZER_H_

#include <cstddef>
#include <cstdint>

#include "codec/byte_streams.h"
#include "codec/encodable_value.h"

namespace flutter {

// Stateless. A derived serializer may handle further types by overriding
// WriteValue and ReadValueOfType: nested values go through those virtual
// operations at every depth. The shared serializer (GetInstance), which is
// known to be exactly this class, reads and writes nested values itself, in
// place when the stream hands out its memory.
//
// Reading never stops early: a read past the end writes one line to standard
// error and yields nulls, zeros or an empty value, an unknown tag writes one
// line and yields null. Two limits keep hostile input from exhausting memory
// or the stack:
//  - a declared size (string bytes, typed-list elements, list elements, map
//    entries) larger than the bytes that remain is an invalid read; nothing
//    is allocated for it and the value is the alternative's empty value;
//  - a list or map nested deeper than kMaxNestingDepth is not read and
//    yields null.
class StandardCodecSerializer {
 public:
  static constexpr int kMaxNestingDepth = 256;

  StandardCodecSerializer();
  virtual ~StandardCodecSerializer();
  StandardCodecSerializer(const StandardCodecSerializer&) = delete;
  StandardCodecSerializer& operator=(const StandardCodecSerializer&) = delete;

  // The process-wide serializer, created on first use (thread-safe).
  static const StandardCodecSerializer& GetInstance();

  // Writes the tag and payload of value. A custom value is written as null,
  // with a line on standard error.
  virtual void WriteValue(const EncodableValue& value,
                          ByteStreamWriter* stream) const;

  // Reads the payload of a value whose tag byte has been consumed.
  virtual EncodableValue ReadValueOfType(uint8_t type,
                                         ByteStreamReader* stream) const;

  // Reads a tag byte, then the value.
  EncodableValue ReadValue(ByteStreamReader* stream) const;

  // Sizes below 254 take one byte, up to 65535 three, else five. A size cut
  // off by the end of the input reads as 0.
  size_t ReadSize(ByteStreamReader* stream) const;
  void WriteSize(size_t size, ByteStreamWriter* stream) const;

 private:
  // Reads a value in place when this is the shared serializer and stream
  // hands out its memory: the tag first unless type points to it. False,
  // having read nothing, otherwise.
  bool ReadInPlace(const uint8_t* type, ByteStreamReader* stream,
                   EncodableValue* value) const;
};

}  // namespace flutter

#endif  // KEELHAVEN_CODEC_STANDARD_CODEC_SERIALIZER_H_
