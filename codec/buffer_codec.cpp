#include "codec/buffer_codec.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>

#include "codec/standard_codec_serializer.h"

namespace flutter {
namespace internal {

namespace {

// Walks packed little-endian elements of type T in a byte array, yielding
// each as a value copied out with memcpy: the bytes need no alignment and
// are never read as a T in place. A vector built from a pair of these
// allocates once and is filled without zeroing first.
template <typename T>
class PackedIterator {
 public:
  using iterator_category = std::random_access_iterator_tag;
  using value_type = T;
  using difference_type = std::ptrdiff_t;
  using pointer = const T*;
  using reference = T;

  explicit PackedIterator(const uint8_t* bytes) : bytes_(bytes) {}

  T operator*() const {
    T element;
    std::memcpy(&element, bytes_, sizeof(T));
    return element;
  }
  T operator[](difference_type n) const { return *(*this + n); }
  PackedIterator& operator++() {
    bytes_ += sizeof(T);
    return *this;
  }
  PackedIterator operator++(int) {
    PackedIterator before = *this;
    ++*this;
    return before;
  }
  PackedIterator& operator--() {
    bytes_ -= sizeof(T);
    return *this;
  }
  PackedIterator operator--(int) {
    PackedIterator before = *this;
    --*this;
    return before;
  }
  PackedIterator& operator+=(difference_type n) {
    bytes_ += n * difference_type(sizeof(T));
    return *this;
  }
  PackedIterator& operator-=(difference_type n) { return *this += -n; }
  friend PackedIterator operator+(PackedIterator it, difference_type n) {
    return it += n;
  }
  friend PackedIterator operator+(difference_type n, PackedIterator it) {
    return it += n;
  }
  friend PackedIterator operator-(PackedIterator it, difference_type n) {
    return it -= n;
  }
  friend difference_type operator-(PackedIterator a, PackedIterator b) {
    return (a.bytes_ - b.bytes_) / difference_type(sizeof(T));
  }
  friend bool operator==(PackedIterator a, PackedIterator b) {
    return a.bytes_ == b.bytes_;
  }
  friend bool operator!=(PackedIterator a, PackedIterator b) {
    return a.bytes_ != b.bytes_;
  }
  friend bool operator<(PackedIterator a, PackedIterator b) {
    return a.bytes_ < b.bytes_;
  }
  friend bool operator>(PackedIterator a, PackedIterator b) { return b < a; }
  friend bool operator<=(PackedIterator a, PackedIterator b) {
    return !(b < a);
  }
  friend bool operator>=(PackedIterator a, PackedIterator b) {
    return !(a < b);
  }

 private:
  const uint8_t* bytes_;
};

template <typename T>
struct As {};

// Where a value being read goes. Called once per value with the alternative
// and its constructor arguments; returns the object built.
class SlotPlace {
 public:
  // slot holds null.
  explicit SlotPlace(EncodableValue& slot) : slot_(slot) {}

  template <typename T, typename... Args>
  T& operator()(As<T>, Args&&... args) {
    return slot_.emplace<T>(std::forward<Args>(args)...);
  }

 private:
  EncodableValue& slot_;
};

// Appends to a list: the element is built in place, never moved there.
class ListPlace {
 public:
  explicit ListPlace(EncodableList& list) : list_(list) {}

  template <typename T, typename... Args>
  T& operator()(As<T>, Args&&... args) {
    return *std::get_if<T>(&list_.emplace_back(std::in_place_type<T>,
                                               std::forward<Args>(args)...));
  }

 private:
  EncodableList& list_;
};

// Mirrors ByteBufferStreamReader and the serializer's reading step for
// step, so that reports, limits and the final location are the same.
class BufferDecoder {
 public:
  BufferDecoder(ByteBufferStreamReader* reader, int depth)
      : bytes_(BufferAccess::Bytes(*reader)),
        size_(BufferAccess::Size(*reader)),
        location_(BufferAccess::Location(*reader)),
        depth_(depth) {}

  size_t location() const { return location_; }

  template <typename Place>
  void ReadInto(uint8_t type, Place out) {
    switch (type) {
      case kNull:
        out(As<std::monostate>());
        return;
      case kTrue:
        out(As<bool>(), true);
        return;
      case kFalse:
        out(As<bool>(), false);
        return;
      case kInt32:
        out(As<int32_t>(), ReadNumber<int32_t>());
        return;
      case kInt64:
        out(As<int64_t>(), ReadNumber<int64_t>());
        return;
      case kDouble:
        ReadAlignment(8);
        out(As<double>(), ReadNumber<double>());
        return;
      case kLargeInt:
      case kString:
        ReadString(out);
        return;
      case kUInt8List:
        ReadArray<uint8_t>(out);
        return;
      case kInt32List:
        ReadArray<int32_t>(out);
        return;
      case kInt64List:
        ReadArray<int64_t>(out);
        return;
      case kDoubleList:
        ReadArray<double>(out);
        return;
      case kFloat32List:
        ReadArray<float>(out);
        return;
      case kList:
        ReadList(out);
        return;
      case kMap:
        ReadMap(out);
        return;
      default:
        ReportUnknownType(type);
        out(As<std::monostate>());
        return;
    }
  }

 private:
  uint8_t ReadByte() {
    if (location_ >= size_) {
      ReportInvalidRead();
      return 0;
    }
    return bytes_[location_++];
  }

  // Whether length bytes remain; alignment may have moved the location past
  // the end, and then even an empty read overruns.
  bool CanRead(size_t length) const {
    return location_ <= size_ && length <= size_ - location_;
  }

  template <typename T>
  T ReadNumber() {
    T number{};
    if (!CanRead(sizeof(T))) {
      ReportInvalidRead();
      return number;
    }
    std::memcpy(&number, bytes_ + location_, sizeof(T));
    location_ += sizeof(T);
    return number;
  }

  void ReadAlignment(size_t alignment) {
    size_t misalignment = location_ % alignment;
    if (misalignment != 0) {
      location_ += alignment - misalignment;
    }
  }

  size_t ReadSize() {
    uint8_t byte = ReadByte();
    if (byte < 254) {
      return byte;
    }
    if (byte == 254) {
      return ReadNumber<uint16_t>();
    }
    return ReadNumber<uint32_t>();
  }

  // Points start at count elements of width bytes and moves past them.
  // False, after reporting the invalid read, when they do not fit into what
  // remains.
  bool Take(size_t count, size_t width, const uint8_t** start) {
    if (location_ > size_ || count > (size_ - location_) / width) {
      ReportInvalidRead();
      return false;
    }
    *start = bytes_ + location_;
    location_ += count * width;
    return true;
  }

  // The bytes of a string's payload; none after an invalid read.
  std::pair<const char*, const char*> ReadStringBytes() {
    size_t length = ReadSize();
    const uint8_t* start;
    if (!Take(length, 1, &start)) {
      return {nullptr, nullptr};
    }
    const char* chars = reinterpret_cast<const char*>(start);
    return {chars, chars + length};
  }

  template <typename Place>
  void ReadString(Place out) {
    auto bytes = ReadStringBytes();
    out(As<std::string>(), bytes.first, bytes.second);
  }

  template <typename T, typename Place>
  void ReadArray(Place out) {
    size_t count = ReadSize();
    if (sizeof(T) > 1) {
      ReadAlignment(sizeof(T));
    }
    const uint8_t* start;
    if (!Take(count, sizeof(T), &start)) {
      out(As<std::vector<T>>());
      return;
    }
    if constexpr (sizeof(T) == 1) {
      out(As<std::vector<T>>(), start, start + count);
    } else {
      out(As<std::vector<T>>(), PackedIterator<T>(start),
          PackedIterator<T>(start + count * sizeof(T)));
    }
  }

  // False, after the report, when a list or map may not open here.
  bool Open() {
    if (depth_ >= StandardCodecSerializer::kMaxNestingDepth) {
      ReportNestingTooDeep();
      return false;
    }
    ++depth_;
    return true;
  }

  // Every element and entry takes at least one byte, so a count above what
  // remains is refused before anything is reserved for it.
  bool CountFits(size_t count) {
    if (count > (location_ < size_ ? size_ - location_ : 0)) {
      ReportInvalidRead();
      return false;
    }
    return true;
  }

  template <typename Place>
  void ReadList(Place out) {
    if (!Open()) {
      out(As<std::monostate>());
      return;
    }
    size_t count = ReadSize();
    EncodableList& list = out(As<EncodableList>());
    if (CountFits(count)) {
      list.reserve(count);
      for (size_t i = 0; i < count; ++i) {
        uint8_t type = ReadByte();
        ReadInto(type, ListPlace(list));
      }
    }
    --depth_;
  }

  template <typename Place>
  void ReadMap(Place out) {
    if (!Open()) {
      out(As<std::monostate>());
      return;
    }
    size_t count = ReadSize();
    EncodableMap& map = out(As<EncodableMap>());
    if (CountFits(count)) {
      for (size_t i = 0; i < count; ++i) {
        size_t before = map.size();
        EncodableMap::iterator entry = InsertKey(map);
        uint8_t type = ReadByte();
        if (map.size() != before) {
          ReadInto(type, SlotPlace(entry->second));
        } else {
          // On a repeated key the first entry stays; the later value is
          // read and dropped.
          EncodableValue dropped;
          ReadInto(type, SlotPlace(dropped));
        }
      }
    }
    --depth_;
  }

  // Reads a key and inserts it with a null value, unless an equivalent key
  // is present. Writers send keys in ascending order, so the end is usually
  // the right place. String keys, the usual ones, are built in the entry.
  EncodableMap::iterator InsertKey(EncodableMap& map) {
    uint8_t type = ReadByte();
    if (type == kString || type == kLargeInt) {
      auto bytes = ReadStringBytes();
      return map.emplace_hint(
          map.end(), std::piecewise_construct,
          std::forward_as_tuple(std::in_place_type<std::string>, bytes.first,
                                bytes.second),
          std::forward_as_tuple());
    }
    EncodableValue key;
    ReadInto(type, SlotPlace(key));
    return map.emplace_hint(map.end(), std::piecewise_construct,
                            std::forward_as_tuple(std::move(key)),
                            std::forward_as_tuple());
  }

  const uint8_t* bytes_;
  size_t size_;
  size_t location_;
  int depth_;
};

size_t SizeOfSize(size_t size) {
  return size < 254 ? 1 : size <= 0xffff ? 3 : 5;
}

size_t Padding(size_t position, size_t alignment) {
  return (alignment - position % alignment) % alignment;
}

template <typename T>
size_t EndOfArray(const std::vector<T>& array, size_t position) {
  position += SizeOfSize(array.size());
  if (sizeof(T) > 1) {
    position += Padding(position, sizeof(T));
  }
  return position + array.size() * sizeof(T);
}

// Lists and maps up to this many elements are sized exactly.
constexpr size_t kWalkedCount = 16;

// Where a value written at position ends; for large lists and maps an
// estimate.
size_t EndOf(const EncodableValue& value, size_t position) {
  ++position;  // The tag.
  switch (value.index()) {
    case 2:
      return position + 4;
    case 3:
      return position + 8;
    case 4:
      return position + Padding(position, 8) + 8;
    case 5: {
      size_t length = std::get<std::string>(value).size();
      return position + SizeOfSize(length) + length;
    }
    case 6:
      return EndOfArray(std::get<std::vector<uint8_t>>(value), position);
    case 7:
      return EndOfArray(std::get<std::vector<int32_t>>(value), position);
    case 8:
      return EndOfArray(std::get<std::vector<int64_t>>(value), position);
    case 9:
      return EndOfArray(std::get<std::vector<double>>(value), position);
    case 10: {
      // Large lists and maps are guessed from their counts rather than
      // walked: a second walk over every node costs more than the array's
      // occasional growth.
      const auto& list = std::get<EncodableList>(value);
      if (list.size() > kWalkedCount) {
        return position + 5 + 8 * list.size();
      }
      position += SizeOfSize(list.size());
      for (const EncodableValue& element : list) {
        position = EndOf(element, position);
      }
      return position;
    }
    case 11: {
      const auto& map = std::get<EncodableMap>(value);
      if (map.size() > kWalkedCount) {
        return position + 5 + 16 * map.size();
      }
      position += SizeOfSize(map.size());
      for (const auto& entry : map) {
        position = EndOf(entry.second, EndOf(entry.first, position));
      }
      return position;
    }
    case 13:
      return EndOfArray(std::get<std::vector<float>>(value), position);
    default:  // null, bool, custom
      return position;
  }
}

// Appends to the caller's array, in which room has usually been reserved.
class BufferEncoder {
 public:
  explicit BufferEncoder(std::vector<uint8_t>* buffer) : buffer_(*buffer) {}

  void Write(const EncodableValue& value) {
    buffer_.push_back(TagOf(value));
    switch (value.index()) {
      case 2:
        WriteNumber(std::get<int32_t>(value));
        return;
      case 3:
        WriteNumber(std::get<int64_t>(value));
        return;
      case 4:
        WriteAlignment(8);
        WriteNumber(std::get<double>(value));
        return;
      case 5:
        WriteString(std::get<std::string>(value));
        return;
      case 6:
        WriteArray(std::get<std::vector<uint8_t>>(value));
        return;
      case 7:
        WriteArray(std::get<std::vector<int32_t>>(value));
        return;
      case 8:
        WriteArray(std::get<std::vector<int64_t>>(value));
        return;
      case 9:
        WriteArray(std::get<std::vector<double>>(value));
        return;
      case 10: {
        const auto& list = std::get<EncodableList>(value);
        WriteSize(list.size());
        for (const EncodableValue& element : list) {
          Write(element);
        }
        return;
      }
      case 11: {
        const auto& map = std::get<EncodableMap>(value);
        WriteSize(map.size());
        for (const auto& entry : map) {
          Write(entry.first);
          Write(entry.second);
        }
        return;
      }
      case 12:
        ReportCustomValue();
        return;
      case 13:
        WriteArray(std::get<std::vector<float>>(value));
        return;
      default:  // null, bool
        return;
    }
  }

  void WriteString(const std::string& string) {
    WriteSize(string.size());
    buffer_.insert(buffer_.end(), string.begin(), string.end());
  }

 private:
  void WriteBytes(const uint8_t* bytes, size_t length) {
    buffer_.insert(buffer_.end(), bytes, bytes + length);
  }

  template <typename T>
  void WriteNumber(T number) {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &number, sizeof(T));
    WriteBytes(bytes, sizeof(T));
  }

  void WriteAlignment(size_t alignment) {
    buffer_.insert(buffer_.end(), Padding(buffer_.size(), alignment), 0);
  }

  void WriteSize(size_t size) {
    if (size < 254) {
      buffer_.push_back(static_cast<uint8_t>(size));
    } else if (size <= 0xffff) {
      buffer_.push_back(254);
      WriteNumber(static_cast<uint16_t>(size));
    } else {
      buffer_.push_back(255);
      WriteNumber(static_cast<uint32_t>(size));
    }
  }

  template <typename T>
  void WriteArray(const std::vector<T>& array) {
    WriteSize(array.size());
    if (sizeof(T) > 1) {
      WriteAlignment(sizeof(T));
    }
    // The elements' object representation, read as bytes.
    const auto* bytes = reinterpret_cast<const uint8_t*>(array.data());
    WriteBytes(bytes, array.size() * sizeof(T));
  }

  std::vector<uint8_t>& buffer_;
};

}  // namespace

uint8_t TagOf(const EncodableValue& value) {
  static constexpr uint8_t kTagOfIndex[] = {
      kNull,   kTrue,      kInt32,     kInt64,      kDouble,
      kString, kUInt8List, kInt32List, kInt64List,  kDoubleList,
      kList,   kMap,       kNull,      kFloat32List};
  uint8_t tag = kTagOfIndex[value.index()];
  if (tag == kTrue && !*std::get_if<bool>(&value)) {
    tag = kFalse;
  }
  return tag;
}

void ReportUnknownType(uint8_t type) {
  std::cerr << "Unknown type in StandardCodecSerializer::ReadValueOfType: "
            << static_cast<int>(type) << std::endl;
}

void ReportNestingTooDeep() {
  std::cerr << "Nesting too deep in StandardCodecSerializer::ReadValueOfType"
            << std::endl;
}

void ReportCustomValue() {
  std::cerr << "Unhandled custom type in "
               "StandardCodecSerializer::WriteValue. "
               "Custom types require codec extensions."
            << std::endl;
}

ByteBufferStreamReader* FastReader(const StandardCodecSerializer& serializer,
                                   ByteStreamReader* stream) {
  if (typeid(serializer) != typeid(StandardCodecSerializer) ||
      typeid(*stream) != typeid(ByteBufferStreamReader)) {
    return nullptr;
  }
  return static_cast<ByteBufferStreamReader*>(stream);
}

std::vector<uint8_t>* FastBuffer(const StandardCodecSerializer& serializer,
                                 ByteStreamWriter* stream) {
  if (typeid(serializer) != typeid(StandardCodecSerializer) ||
      typeid(*stream) != typeid(ByteBufferStreamWriter)) {
    return nullptr;
  }
  return BufferAccess::Buffer(*static_cast<ByteBufferStreamWriter*>(stream));
}

EncodableValue ReadFromBuffer(uint8_t type, ByteBufferStreamReader* reader,
                              int depth) {
  BufferDecoder decoder(reader, depth);
  EncodableValue value;
  decoder.ReadInto(type, SlotPlace(value));
  BufferAccess::Location(*reader) = decoder.location();
  return value;
}

size_t EncodedSize(const EncodableValue& value, size_t position) {
  return EndOf(value, position) - position;
}

size_t EncodedStringSize(const std::string& string) {
  return 1 + SizeOfSize(string.size()) + string.size();
}

void ReserveFor(std::vector<uint8_t>* buffer, size_t bytes) {
  size_t needed = buffer->size() + bytes;
  if (needed > buffer->capacity()) {
    // Geometric, so that many small values written one after another into
    // the same array do not copy it each time.
    buffer->reserve(std::max(needed, 2 * buffer->capacity()));
  }
}

void WriteToBuffer(const EncodableValue& value, std::vector<uint8_t>* buffer) {
  BufferEncoder(buffer).Write(value);
}

void WriteStringToBuffer(const std::string& string,
                         std::vector<uint8_t>* buffer) {
  buffer->push_back(kString);
  BufferEncoder(buffer).WriteString(string);
}

}  // namespace internal
}  // namespace flutter
