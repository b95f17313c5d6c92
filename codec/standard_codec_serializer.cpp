#include "codec/standard_codec_serializer.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "codec/buffer_codec.h"

// Numbers go to the wire in host order; both targets are little-endian.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "The standard codec needs a little-endian host."
#endif

namespace flutter {

namespace {

// Lists and maps being read on this thread, outermost first. Reading
// recurses once per level, so a message of a few kilobytes of nested list
// headers would otherwise overflow the stack.
thread_local int nesting_depth = 0;

class NestingScope {
 public:
  NestingScope() { ++nesting_depth; }
  ~NestingScope() { --nesting_depth; }
  NestingScope(const NestingScope&) = delete;
  NestingScope& operator=(const NestingScope&) = delete;
};

// Whether count elements of width bytes can still come from the input. Every
// list element and map entry takes at least one byte, so this also bounds
// the storage reserved for them.
bool InputCanHold(const ByteStreamReader& stream, size_t count, size_t width) {
  return count <= stream.RemainingBytes() / width;
}

template <typename T>
void WriteNumber(T number, ByteStreamWriter* stream) {
  uint8_t bytes[sizeof(T)];
  std::memcpy(bytes, &number, sizeof(T));
  stream->WriteBytes(bytes, sizeof(T));
}

template <typename T>
T ReadNumber(ByteStreamReader* stream) {
  uint8_t bytes[sizeof(T)] = {};
  stream->ReadBytes(bytes, sizeof(T));
  T number;
  std::memcpy(&number, bytes, sizeof(T));
  return number;
}

// Strings and typed lists: the size, padding to the element width (not for
// bytes), then the elements.
template <typename Container>
void WriteArray(const StandardCodecSerializer& serializer,
                const Container& array, ByteStreamWriter* stream) {
  constexpr size_t kWidth = sizeof(typename Container::value_type);
  serializer.WriteSize(array.size(), stream);
  if (kWidth > 1) {
    stream->WriteAlignment(kWidth);
  }
  stream->WriteBytes(reinterpret_cast<const uint8_t*>(array.data()),
                     array.size() * kWidth);
}

template <typename Container>
Container ReadArray(const StandardCodecSerializer& serializer,
                    ByteStreamReader* stream) {
  using Element = typename Container::value_type;
  size_t count = serializer.ReadSize(stream);
  if (sizeof(Element) > 1) {
    stream->ReadAlignment(sizeof(Element));
  }
  if (!InputCanHold(*stream, count, sizeof(Element))) {
    ReportInvalidRead();
    return Container();
  }
  Container array(count, Element());
  stream->ReadBytes(reinterpret_cast<uint8_t*>(array.data()),
                    count * sizeof(Element));
  return array;
}

}  // namespace

StandardCodecSerializer::StandardCodecSerializer() = default;

StandardCodecSerializer::~StandardCodecSerializer() = default;

const StandardCodecSerializer& StandardCodecSerializer::GetInstance() {
  static const StandardCodecSerializer instance;
  return instance;
}

EncodableValue StandardCodecSerializer::ReadValue(
    ByteStreamReader* stream) const {
  if (ByteBufferStreamReader* reader = internal::FastReader(*this, stream)) {
    return internal::ReadFromBuffer(reader->ReadByte(), reader, nesting_depth);
  }
  uint8_t type = stream->ReadByte();
  return ReadValueOfType(type, stream);
}

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  if (std::vector<uint8_t>* buffer = internal::FastBuffer(*this, stream)) {
    internal::ReserveFor(buffer, internal::EncodedSize(value, buffer->size()));
    internal::WriteToBuffer(value, buffer);
    return;
  }
  // The tag follows the alternative held, never the magnitude of a number.
  stream->WriteByte(internal::TagOf(value));
  switch (value.index()) {
    case 2:
      WriteNumber(std::get<int32_t>(value), stream);
      break;
    case 3:
      WriteNumber(std::get<int64_t>(value), stream);
      break;
    case 4:
      stream->WriteAlignment(8);
      WriteNumber(std::get<double>(value), stream);
      break;
    case 5:
      WriteArray(*this, std::get<std::string>(value), stream);
      break;
    case 6:
      WriteArray(*this, std::get<std::vector<uint8_t>>(value), stream);
      break;
    case 7:
      WriteArray(*this, std::get<std::vector<int32_t>>(value), stream);
      break;
    case 8:
      WriteArray(*this, std::get<std::vector<int64_t>>(value), stream);
      break;
    case 9:
      WriteArray(*this, std::get<std::vector<double>>(value), stream);
      break;
    case 10: {
      const auto& list = std::get<EncodableList>(value);
      WriteSize(list.size(), stream);
      for (const EncodableValue& element : list) {
        WriteValue(element, stream);
      }
      break;
    }
    case 11: {
      const auto& map = std::get<EncodableMap>(value);
      WriteSize(map.size(), stream);
      for (const auto& entry : map) {
        WriteValue(entry.first, stream);
        WriteValue(entry.second, stream);
      }
      break;
    }
    case 12:
      internal::ReportCustomValue();
      break;
    case 13:
      WriteArray(*this, std::get<std::vector<float>>(value), stream);
      break;
    default:  // null
      break;
  }
}

EncodableValue StandardCodecSerializer::ReadValueOfType(
    uint8_t type, ByteStreamReader* stream) const {
  if (ByteBufferStreamReader* reader = internal::FastReader(*this, stream)) {
    return internal::ReadFromBuffer(type, reader, nesting_depth);
  }
  switch (type) {
    case internal::kNull:
      return EncodableValue();
    case internal::kTrue:
      return EncodableValue(true);
    case internal::kFalse:
      return EncodableValue(false);
    case internal::kInt32:
      return EncodableValue(ReadNumber<int32_t>(stream));
    case internal::kInt64:
      return EncodableValue(ReadNumber<int64_t>(stream));
    case internal::kDouble:
      stream->ReadAlignment(8);
      return EncodableValue(ReadNumber<double>(stream));
    case internal::kLargeInt:
    case internal::kString:
      return EncodableValue(ReadArray<std::string>(*this, stream));
    case internal::kUInt8List:
      return EncodableValue(ReadArray<std::vector<uint8_t>>(*this, stream));
    case internal::kInt32List:
      return EncodableValue(ReadArray<std::vector<int32_t>>(*this, stream));
    case internal::kInt64List:
      return EncodableValue(ReadArray<std::vector<int64_t>>(*this, stream));
    case internal::kDoubleList:
      return EncodableValue(ReadArray<std::vector<double>>(*this, stream));
    case internal::kFloat32List:
      return EncodableValue(ReadArray<std::vector<float>>(*this, stream));
    case internal::kList:
    case internal::kMap:
      break;
    default:
      internal::ReportUnknownType(type);
      return EncodableValue();
  }

  if (nesting_depth >= kMaxNestingDepth) {
    internal::ReportNestingTooDeep();
    return EncodableValue();
  }
  NestingScope scope;
  size_t count = ReadSize(stream);
  if (!InputCanHold(*stream, count, 1)) {
    ReportInvalidRead();
    return type == internal::kList ? EncodableValue(EncodableList())
                                   : EncodableValue(EncodableMap());
  }
  if (type == internal::kList) {
    EncodableList list;
    list.reserve(count);
    for (size_t i = 0; i < count; ++i) {
      list.push_back(ReadValue(stream));
    }
    return EncodableValue(std::move(list));
  }
  EncodableMap map;
  for (size_t i = 0; i < count; ++i) {
    EncodableValue key = ReadValue(stream);
    EncodableValue value = ReadValue(stream);
    // On a repeated key the first entry stays. Writers send keys in
    // ascending order, so the end is usually the right place.
    map.emplace_hint(map.end(), std::move(key), std::move(value));
  }
  return EncodableValue(std::move(map));
}

size_t StandardCodecSerializer::ReadSize(ByteStreamReader* stream) const {
  uint8_t byte = stream->ReadByte();
  if (byte < 254) {
    return byte;
  }
  if (byte == 254) {
    return ReadNumber<uint16_t>(stream);
  }
  return ReadNumber<uint32_t>(stream);
}

void StandardCodecSerializer::WriteSize(size_t size,
                                        ByteStreamWriter* stream) const {
  if (size < 254) {
    stream->WriteByte(static_cast<uint8_t>(size));
  } else if (size <= 0xffff) {
    stream->WriteByte(254);
    WriteNumber(static_cast<uint16_t>(size), stream);
  } else {
    // Sizes of 4 GiB and more cannot be expressed; nothing here builds a
    // value that large.
    stream->WriteByte(255);
    WriteNumber(static_cast<uint32_t>(size), stream);
  }
}

}  // namespace flutter
