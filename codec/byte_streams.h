// Byte streams the standard codec reads values from and writes values to,
// and their implementations over a byte buffer.
#ifndef KEELHAVEN_CODEC_BYTE_STREAMS_H_
#define KEELHAVEN_CODEC_BYTE_STREAMS_H_

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "codec/byte_cursors.h"

namespace flutter {

// Reads bytes in order. A read past the end reports itself and yields zeros
// (ReadByte) or leaves the destination untouched (ReadBytes).
class ByteStreamReader {
 public:
  // What RemainingBytes returns when a reader cannot tell.
  static constexpr size_t kRemainingUnknown =
      std::numeric_limits<size_t>::max();

  ByteStreamReader() = default;
  virtual ~ByteStreamReader() = default;
  ByteStreamReader(const ByteStreamReader&) = delete;
  ByteStreamReader& operator=(const ByteStreamReader&) = delete;

  virtual uint8_t ReadByte() = 0;
  virtual void ReadBytes(uint8_t* buffer, size_t length) = 0;
  // Skips to the next multiple of alignment, counted from the first byte of
  // the input.
  virtual void ReadAlignment(uint8_t alignment) = 0;

  // How many bytes are left to read. The serializer checks every declared
  // size against it before allocating, so that a short message cannot make
  // it reserve gigabytes. A reader that cannot tell keeps this default, and
  // declared sizes are then trusted as they are.
  virtual size_t RemainingBytes() const { return kRemainingUnknown; }

  // A reader that holds its whole input in memory hands out its cursor over
  // it, so that a caller can read in place rather than through a virtual
  // call per byte, and leave the cursor where it stopped. Other readers give
  // null, and so does any that must see every read as a call.
  virtual internal::SpanSource* InputSpan() { return nullptr; }
};

// Appends bytes.
class ByteStreamWriter {
 public:
  ByteStreamWriter() = default;
  virtual ~ByteStreamWriter() = default;
  ByteStreamWriter(const ByteStreamWriter&) = delete;
  ByteStreamWriter& operator=(const ByteStreamWriter&) = delete;

  virtual void WriteByte(uint8_t byte) = 0;
  virtual void WriteBytes(const uint8_t* bytes, size_t length) = 0;
  // Pads with zero bytes to the next multiple of alignment, counted from the
  // first byte written.
  virtual void WriteAlignment(uint8_t alignment) = 0;

  // A writer that appends to a byte array in memory hands out the array, so
  // that a caller can append to it in place rather than through a virtual
  // call per byte. Other writers give null, and so does any that must see
  // every write as a call.
  virtual std::vector<uint8_t>* OutputArray() { return nullptr; }
};

// Reads in place from a caller's buffer, which must outlive the reader.
class ByteBufferStreamReader : public ByteStreamReader {
 public:
  ByteBufferStreamReader(const uint8_t* bytes, size_t size);

  uint8_t ReadByte() override;
  void ReadBytes(uint8_t* buffer, size_t length) override;
  // No bounds check: the next read reports an overrun.
  void ReadAlignment(uint8_t alignment) override;
  size_t RemainingBytes() const override;
  internal::SpanSource* InputSpan() override;

 private:
  internal::SpanSource input_;
};

// Appends to a caller's byte array, which must outlive the writer.
class ByteBufferStreamWriter : public ByteStreamWriter {
 public:
  explicit ByteBufferStreamWriter(std::vector<uint8_t>* buffer);

  void WriteByte(uint8_t byte) override;
  void WriteBytes(const uint8_t* bytes, size_t length) override;
  void WriteAlignment(uint8_t alignment) override;
  std::vector<uint8_t>* OutputArray() override;

 private:
  std::vector<uint8_t>* buffer_;
};

}  // namespace flutter

#endif  // KEELHAVEN_CODEC_BYTE_STREAMS_H_
