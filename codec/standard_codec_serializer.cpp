#include "codec/standard_codec_serializer.h"

#include <cstring>
#include <utility>
#include <vector>

#include "codec/byte_cursors.h"
#include "codec/value_format.h"

// Numbers go to the wire in host order; both targets are little-endian.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "The standard codec needs a little-endian host."
#endif

namespace flutter {

namespace {

// Lists and maps being read on this thread. Reading recurses once per
// level, so a message of a few kilobytes of nested list headers would
// otherwise overflow the stack.
thread_local int nesting_depth = 0;

// The format's source over a stream's virtual calls.
class StreamSource {
 public:
  explicit StreamSource(ByteStreamReader* stream) : stream_(stream) {}

  uint8_t ReadByte() { return stream_->ReadByte(); }
  template <typename T>
  T ReadNumber() {
    uint8_t bytes[sizeof(T)] = {};
    stream_->ReadBytes(bytes, sizeof(T));
    T number;
    std::memcpy(&number, bytes, sizeof(T));
    return number;
  }
  void ReadAlignment(size_t alignment) {
    stream_->ReadAlignment(static_cast<uint8_t>(alignment));
  }
  size_t Remaining() const { return stream_->RemainingBytes(); }
  template <typename Container, typename Place>
  void ReadArray(size_t count, Place place) {
    using Element = typename Container::value_type;
    Container array;
    if (count > Remaining() / sizeof(Element)) {
      ReportInvalidRead();
    } else {
      array.resize(count);
      stream_->ReadBytes(reinterpret_cast<uint8_t*>(array.data()),
                         count * sizeof(Element));
    }
    place(internal::As<Container>(), std::move(array));
  }

 private:
  ByteStreamReader* stream_;
};

// The format's sink over a stream's virtual calls.
class StreamSink {
 public:
  explicit StreamSink(ByteStreamWriter* stream) : stream_(stream) {}

  void WriteByte(uint8_t byte) { stream_->WriteByte(byte); }
  // A one-byte number (a short size) goes through WriteByte.
  template <typename T>
  void WriteNumber(T number) {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &number, sizeof(T));
    if (sizeof(T) == 1) {
      stream_->WriteByte(bytes[0]);
    } else {
      stream_->WriteBytes(bytes, sizeof(T));
    }
  }
  template <typename T>
  void WriteByteAndNumber(uint8_t byte, T number) {
    WriteByte(byte);
    WriteNumber(number);
  }
  void WriteAlignment(size_t alignment) {
    stream_->WriteAlignment(static_cast<uint8_t>(alignment));
  }
  void WriteBytes(const uint8_t* bytes, size_t length) {
    stream_->WriteBytes(bytes, length);
  }

 private:
  ByteStreamWriter* stream_;
};

}  // namespace

StandardCodecSerializer::StandardCodecSerializer() = default;

StandardCodecSerializer::~StandardCodecSerializer() = default;

const StandardCodecSerializer& StandardCodecSerializer::GetInstance() {
  static const StandardCodecSerializer instance;
  return instance;
}

// Only the shared serializer is known to be exactly this class, so only it
// reads and writes nested values itself, and in place when the stream holds
// its bytes in memory. Any other serializer may be derived: its nested
// values go through its virtual operations, and every byte through the
// stream's.
bool StandardCodecSerializer::ReadInPlace(const uint8_t* type,
                                          ByteStreamReader* stream,
                                          EncodableValue* value) const {
  internal::SpanSource* input;
  if (this != &GetInstance() || (input = stream->InputSpan()) == nullptr) {
    return false;
  }
  int depth = nesting_depth;
  // A copy of the cursor, put back at the end: held by the reader, it stays
  // in registers.
  internal::ValueReader<internal::SpanSource> reader(*input, depth,
                                                     kMaxNestingDepth);
  reader.Read(type != nullptr ? *type : reader.source().ReadByte(),
              internal::IntoSlot(*value));
  *input = reader.source();
  return true;
}

EncodableValue StandardCodecSerializer::ReadValue(
    ByteStreamReader* stream) const {
  EncodableValue value;
  if (ReadInPlace(nullptr, stream, &value)) {
    return value;
  }
  uint8_t type = stream->ReadByte();
  return ReadValueOfType(type, stream);
}

EncodableValue StandardCodecSerializer::ReadValueOfType(
    uint8_t type, ByteStreamReader* stream) const {
  EncodableValue value;
  if (ReadInPlace(&type, stream, &value)) {
    return value;
  }
  auto nested = [this, stream](uint8_t nested_type) {
    return ReadValueOfType(nested_type, stream);
  };
  internal::ValueReader<StreamSource, decltype(nested)>(
      StreamSource(stream), nesting_depth, kMaxNestingDepth, nested)
      .Read(type, internal::IntoSlot(value));
  return value;
}

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  std::vector<uint8_t>* array = stream->OutputArray();
  if (this == &GetInstance() && array != nullptr) {
    internal::ValueWriter<internal::ArraySink>(internal::Here(), array)
        .Write(value);
    return;
  }
  auto nested = [this, stream](const EncodableValue& element) {
    WriteValue(element, stream);
  };
  internal::ValueWriter<StreamSink, decltype(nested)>(nested, stream)
      .Write(value);
}

size_t StandardCodecSerializer::ReadSize(ByteStreamReader* stream) const {
  StreamSource source(stream);
  return internal::ReadSize(source);
}

void StandardCodecSerializer::WriteSize(size_t size,
                                        ByteStreamWriter* stream) const {
  StreamSink sink(stream);
  internal::WriteSize(sink, size);
}

}  // namespace flutter
