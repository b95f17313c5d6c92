// Byte streams the standard codec reads values from and writes values to,
// and their implementations over a byte buffer.
#ifndef KEELHAVEN_CODEC_BYTE_STREAMS_H_
#define KEELHAVEN_CODEC_BYTE_STREAMS_H_

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace flutter {

namespace internal {
struct BufferAccess;
}  // namespace internal

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

 private:
  friend struct internal::BufferAccess;  // The serializer's fast path.

  const uint8_t* bytes_;
  size_t size_;
  size_t location_ = 0;
};

// Appends to a caller's byte array, which must outlive the writer.
class ByteBufferStreamWriter : public ByteStreamWriter {
 public:
  explicit ByteBufferStreamWriter(std::vector<uint8_t>* buffer);

  void WriteByte(uint8_t byte) override;
  void WriteBytes(const uint8_t* bytes, size_t length) override;
  void WriteAlignment(uint8_t alignment) override;

 private:
  friend struct internal::BufferAccess;  // The serializer's fast path.

  std::vector<uint8_t>* buffer_;
};

// Writes the line of a read past the end of the input to standard error.
void ReportInvalidRead();

}  // namespace flutter

#endif  // KEELHAVEN_CODEC_BYTE_STREAMS_H_
