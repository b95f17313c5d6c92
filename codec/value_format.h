// The standard codec's format, written once over a byte source and a byte
// sink. A source reads bytes: ReadByte, ReadNumber<T>, ReadAlignment,
// Remaining (bytes left, or more than any size when unknown) and
// ReadArray<Container>(count, place), which builds the elements in place
// (below), or an empty container after a report when they cannot fit. A sink
// writes them: WriteByte, WriteNumber, WriteAlignment and WriteBytes. Both
// count alignment from the first byte of the message.
#ifndef KEELHAVEN_CODEC_VALUE_FORMAT_H_
#define KEELHAVEN_CODEC_VALUE_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "codec/byte_cursors.h"
#include "codec/encodable_value.h"

namespace flutter {
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

void ReportUnknownType(uint8_t type);
void ReportNestingTooDeep();
void ReportCustomValue();

// Sizes below 254 take one byte, up to 65535 three, else five. A size cut
// off by the end of the input reads as 0.
template <typename Source>
size_t ReadSize(Source& source) {
  uint8_t byte = source.ReadByte();
  if (byte < 254) {
    return byte;
  }
  if (byte == 254) {
    return source.template ReadNumber<uint16_t>();
  }
  return source.template ReadNumber<uint32_t>();
}

template <typename Sink>
void WriteLongSize(Sink& sink, size_t size) {
  if (size <= 0xffff) {
    sink.WriteByte(254);
    sink.WriteNumber(static_cast<uint16_t>(size));
  } else {
    // Sizes of 4 GiB and more cannot be expressed; nothing here builds a
    // value that large.
    sink.WriteByte(255);
    sink.WriteNumber(static_cast<uint32_t>(size));
  }
}

template <typename Sink>
void WriteSize(Sink& sink, size_t size) {
  if (size < 254) {
    sink.WriteByte(static_cast<uint8_t>(size));
  } else {
    WriteLongSize(sink, size);
  }
}

// Nested values (list elements, map keys and values) are read or written by
// the same reader or writer, without a virtual call. Otherwise a callable
// handles them, through a serializer's virtual interface.
struct Here {};

// Where a value being read goes, built in place: from an alternative's type
// and its constructor arguments, or moved there whole. Fill<Container>(fill)
// makes an empty list or map there and has fill read its elements into it.
class IntoSlot {
 public:
  // slot holds null.
  explicit IntoSlot(EncodableValue& slot) : slot_(slot) {}
  template <typename T, typename... Args>
  void operator()(As<T>, Args&&... args) {
    slot_.emplace<T>(std::forward<Args>(args)...);
  }
  void operator()(EncodableValue&& value) { slot_ = std::move(value); }
  template <typename Container, typename F>
  void Fill(F fill) {
    fill(slot_.emplace<Container>());
  }

 private:
  EncodableValue& slot_;
};

class IntoList {
 public:
  explicit IntoList(EncodableList& list) : list_(list) {}
  template <typename T, typename... Args>
  void operator()(As<T>, Args&&... args) {
    list_.emplace_back(std::in_place_type<T>, std::forward<Args>(args)...);
  }
  void operator()(EncodableValue&& value) { list_.push_back(std::move(value)); }
  template <typename Container, typename F>
  void Fill(F fill) {
    fill(*std::get_if<Container>(
        &list_.emplace_back(std::in_place_type<Container>)));
  }

 private:
  EncodableList& list_;
};

// Inserts the key of a map entry with a null value, unless an equivalent key
// is present. Writers send keys in ascending order, so the end is usually
// the right place.
class IntoMapKey {
 public:
  IntoMapKey(EncodableMap& map, EncodableMap::iterator& entry)
      : map_(map), entry_(entry) {}
  template <typename T, typename... Args>
  void operator()(As<T>, Args&&... args) {
    entry_ =
        map_.emplace_hint(map_.end(), std::piecewise_construct,
                          std::forward_as_tuple(std::in_place_type<T>,
                                                std::forward<Args>(args)...),
                          std::forward_as_tuple());
  }
  void operator()(EncodableValue&& key) {
    entry_ = map_.emplace_hint(map_.end(), std::move(key), EncodableValue());
  }
  // A key is inserted only once it is whole: its place in the map depends
  // on its elements.
  template <typename Container, typename F>
  void Fill(F fill) {
    Container key;
    fill(key);
    (*this)(As<Container>(), std::move(key));
  }

 private:
  EncodableMap& map_;
  EncodableMap::iterator& entry_;
};

// Reads values from a Source. depth counts the lists and maps open around
// the value being read, beyond max_depth none is read.
template <typename Source, typename Nested = Here>
class ValueReader {
 public:
  ValueReader(Source source, int& depth, int max_depth,
              Nested nested = Nested())
      : source_(source),
        depth_(depth),
        max_depth_(max_depth),
        nested_(std::move(nested)) {}

  Source& source() { return source_; }

  // Reads the payload of a value whose tag has been consumed into place.
  template <typename Place>
  void Read(uint8_t type, Place place) {
    switch (type) {
      case kNull:
        return place(As<std::monostate>());
      case kTrue:
      case kFalse:
        return place(As<bool>(), type == kTrue);
      case kInt32:
        return place(As<int32_t>(), source_.template ReadNumber<int32_t>());
      case kInt64:
        return place(As<int64_t>(), source_.template ReadNumber<int64_t>());
      case kDouble:
        source_.ReadAlignment(8);
        return place(As<double>(), source_.template ReadNumber<double>());
      case kLargeInt:
      case kString:
        return ReadArray<std::string>(place);
      case kUInt8List:
        return ReadArray<std::vector<uint8_t>>(place);
      case kInt32List:
        return ReadArray<std::vector<int32_t>>(place);
      case kInt64List:
        return ReadArray<std::vector<int64_t>>(place);
      case kDoubleList:
        return ReadArray<std::vector<double>>(place);
      case kFloat32List:
        return ReadArray<std::vector<float>>(place);
      case kList:
        return ReadContainer<EncodableList>(place);
      case kMap:
        return ReadContainer<EncodableMap>(place);
      default:
        ReportUnknownType(type);
        return place(As<std::monostate>());
    }
  }

 private:
  // The size, padding to the element width (not for bytes), the elements.
  template <typename Container, typename Place>
  void ReadArray(Place place) {
    constexpr size_t kWidth = sizeof(typename Container::value_type);
    size_t count = ReadSize(source_);
    if (kWidth > 1) {
      source_.ReadAlignment(kWidth);
    }
    source_.template ReadArray<Container>(count, place);
  }

  template <typename Container, typename Place>
  void ReadContainer(Place place) {
    if (depth_ >= max_depth_) {
      ReportNestingTooDeep();
      return place(As<std::monostate>());
    }
    ++depth_;
    size_t count = ReadSize(source_);
    // Every element and entry takes at least one byte, so a count above
    // what remains is refused before anything is reserved for it.
    if (count > source_.Remaining()) {
      ReportInvalidRead();
      count = 0;
    }
    place.template Fill<Container>([this, count](Container& container) {
      ReadElements(count, container);
    });
    --depth_;
  }

  void ReadElements(size_t count, EncodableList& list) {
    list.reserve(count);
    for (size_t i = 0; i < count; ++i) {
      ReadNested(IntoList(list));
    }
  }

  // On a repeated key the first entry stays; the later value is read and
  // dropped.
  void ReadElements(size_t count, EncodableMap& map) {
    for (size_t i = 0; i < count; ++i) {
      size_t before = map.size();
      EncodableMap::iterator entry;
      ReadNested(IntoMapKey(map, entry));
      if (map.size() != before) {
        ReadNested(IntoSlot(entry->second));
      } else {
        EncodableValue dropped;
        ReadNested(IntoSlot(dropped));
      }
    }
  }

  // A tag byte, then the value.
  template <typename Place>
  void ReadNested(Place place) {
    uint8_t type = source_.ReadByte();
    if constexpr (std::is_same_v<Nested, Here>) {
      Read(type, place);
    } else {
      place(nested_(type));
    }
  }

  // Held, not referred to: a byte stored while reading cannot then move
  // it, and the compiler need not load it again after each.
  Source source_;
  int& depth_;
  int max_depth_;
  Nested nested_;
};

// Writes values to a Sink, made from sink_arguments.
template <typename Sink, typename Nested = Here>
class ValueWriter {
 public:
  template <typename... SinkArguments>
  explicit ValueWriter(Nested nested, SinkArguments&&... sink_arguments)
      : sink_(std::forward<SinkArguments>(sink_arguments)...),
        nested_(std::move(nested)) {}

  // The tag and payload of value. The tag follows the alternative held,
  // never the magnitude of a number. A custom value goes out as null, with
  // a line on standard error.
  void Write(const EncodableValue& value) {
    // Each case reads the alternative the switch has found, unchecked.
    switch (value.index()) {
      case 1:
        return sink_.WriteByte(*std::get_if<bool>(&value) ? kTrue : kFalse);
      case 2:
        return sink_.WriteByteAndNumber(kInt32, *std::get_if<int32_t>(&value));
      case 3:
        return sink_.WriteByteAndNumber(kInt64, *std::get_if<int64_t>(&value));
      case 4:
        sink_.WriteByte(kDouble);
        sink_.WriteAlignment(8);
        return sink_.WriteNumber(*std::get_if<double>(&value));
      case 5:
        return WriteArray(kString, *std::get_if<std::string>(&value));
      case 6:
        return WriteArray(kUInt8List,
                          *std::get_if<std::vector<uint8_t>>(&value));
      case 7:
        return WriteArray(kInt32List,
                          *std::get_if<std::vector<int32_t>>(&value));
      case 8:
        return WriteArray(kInt64List,
                          *std::get_if<std::vector<int64_t>>(&value));
      case 9:
        return WriteArray(kDoubleList,
                          *std::get_if<std::vector<double>>(&value));
      case 10:
        return WriteList(*std::get_if<EncodableList>(&value));
      case 11:
        return WriteMap(*std::get_if<EncodableMap>(&value));
      case 12:
        sink_.WriteByte(kNull);
        return ReportCustomValue();
      case 13:
        return WriteArray(kFloat32List,
                          *std::get_if<std::vector<float>>(&value));
      default:
        return sink_.WriteByte(kNull);
    }
  }

 private:
  // The size, padding to the element width (not for bytes), then the
  // elements' object representation, read as bytes.
  template <typename Container>
  void WriteArray(uint8_t tag, const Container& array) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(array.data());
    constexpr size_t kWidth = sizeof(typename Container::value_type);
    if (kWidth == 1) {
      // Strings, the commonest, without the alignment's registers.
      WriteHeader(tag, array.size());
      sink_.WriteBytes(bytes, array.size());
    } else {
      WriteArray(tag, bytes, array.size(), kWidth);
    }
  }
  // Lists, maps and arrays are kept out of Write, so that a scalar element
  // costs few registers to save.
  [[gnu::noinline]] void WriteArray(uint8_t tag, const uint8_t* bytes,
                                    size_t count, size_t width) {
    WriteHeader(tag, count);
    if (width > 1) {
      sink_.WriteAlignment(width);
    }
    sink_.WriteBytes(bytes, count * width);
  }

  // The tag and the size, in one piece when the size takes one byte.
  void WriteHeader(uint8_t tag, size_t size) {
    if (size < 254) {
      sink_.WriteByteAndNumber(tag, static_cast<uint8_t>(size));
    } else {
      sink_.WriteByte(tag);
      WriteSize(sink_, size);
    }
  }

  [[gnu::noinline]] void WriteList(const EncodableList& list) {
    WriteHeader(kList, list.size());
    for (const EncodableValue& element : list) {
      WriteNested(element);
    }
  }

  [[gnu::noinline]] void WriteMap(const EncodableMap& map) {
    WriteHeader(kMap, map.size());
    for (const auto& entry : map) {
      WriteNested(entry.first);
      WriteNested(entry.second);
    }
  }

  void WriteNested(const EncodableValue& value) {
    if constexpr (std::is_same_v<Nested, Here>) {
      Write(value);
    } else {
      nested_(value);
    }
  }

  // Held, not referred to: a byte stored cannot then move it, and the
  // compiler need not load it again after each.
  Sink sink_;
  Nested nested_;
};

}  // namespace internal
}  // namespace flutter

#endif  // KEELHAVEN_CODEC_VALUE_FORMAT_H_
