#include "codec/byte_streams.h"

#include <iostream>

namespace flutter {

void ReportInvalidRead() {
  std::cerr << "Invalid read in StandardCodecByteStreamReader" << std::endl;
}

ByteBufferStreamReader::ByteBufferStreamReader(const uint8_t* bytes,
                                               size_t size)
    : input_(bytes, size) {}

uint8_t ByteBufferStreamReader::ReadByte() { return input_.ReadByte(); }

void ByteBufferStreamReader::ReadBytes(uint8_t* buffer, size_t length) {
  input_.ReadBytes(buffer, length);
}

void ByteBufferStreamReader::ReadAlignment(uint8_t alignment) {
  input_.ReadAlignment(alignment);
}

size_t ByteBufferStreamReader::RemainingBytes() const {
  return input_.Remaining();
}

internal::SpanSource* ByteBufferStreamReader::InputSpan() { return &input_; }

ByteBufferStreamWriter::ByteBufferStreamWriter(std::vector<uint8_t>* buffer)
    : buffer_(buffer) {}

void ByteBufferStreamWriter::WriteByte(uint8_t byte) {
  internal::MakeRoom(*buffer_, 1);
  buffer_->push_back(byte);
}

void ByteBufferStreamWriter::WriteBytes(const uint8_t* bytes, size_t length) {
  internal::MakeRoom(*buffer_, length);
  buffer_->insert(buffer_->end(), bytes, bytes + length);
}

// One byte at a time through WriteByte, so that a derived writer sees every
// byte.
void ByteBufferStreamWriter::WriteAlignment(uint8_t alignment) {
  for (size_t padding = internal::Padding(buffer_->size(), alignment);
       padding > 0; --padding) {
    WriteByte(0);
  }
}

std::vector<uint8_t>* ByteBufferStreamWriter::OutputArray() { return buffer_; }

}  // namespace flutter
