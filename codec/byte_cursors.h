// Cursors over bytes held in memory: a source that reads a buffer in place
// and a sink that appends to a byte array. The buffer streams are built on
// them, and the serializer uses them directly when a stream hands out its
// memory, without a virtual call per byte.
#ifndef KEELHAVEN_CODEC_BYTE_CURSORS_H_
#define KEELHAVEN_CODEC_BYTE_CURSORS_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

namespace flutter {

// Writes the line of a read past the end of the input to standard error.
void ReportInvalidRead();

namespace internal {

// How many zero bytes take position to the next multiple of alignment.
inline size_t Padding(size_t position, size_t alignment) {
  return alignment == 0 ? 0 : (alignment - position % alignment) % alignment;
}

// Names the type a value being read is built as.
template <typename T>
struct As {};

// Walks packed little-endian elements of type T, yielding each as a value
// copied out with memcpy: the bytes need no alignment and are never read as
// a T in place. A vector built from a pair of these allocates once and is
// filled without zeroing first. Only what that construction uses is here.
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
  PackedIterator& operator++() {
    bytes_ += sizeof(T);
    return *this;
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

 private:
  const uint8_t* bytes_;
};

// Reads a caller's buffer of size bytes in order. A read past the end
// reports itself and leaves the location where it was: ReadByte gives 0,
// ReadBytes leaves its destination untouched.
class SpanSource {
 public:
  SpanSource(const uint8_t* bytes, size_t size)
      : bytes_(bytes), size_(size), location_(0) {}

  // Past the size after an alignment beyond the end.
  size_t location() const { return location_; }

  uint8_t ReadByte() {
    const uint8_t* byte;
    return Take(1, 1, &byte) ? *byte : 0;
  }
  void ReadBytes(uint8_t* destination, size_t length) {
    const uint8_t* start;
    // The destination may be the null data() of an empty array.
    if (Take(length, 1, &start) && length != 0) {
      std::memcpy(destination, start, length);
    }
  }
  template <typename T>
  T ReadNumber() {
    T number{};
    ReadBytes(reinterpret_cast<uint8_t*>(&number), sizeof(T));
    return number;
  }
  // Counted from the first byte of the buffer. No bounds check: the next
  // read reports an overrun.
  void ReadAlignment(size_t alignment) {
    location_ += Padding(location_, alignment);
  }
  size_t Remaining() const { return location_ < size_ ? size_ - location_ : 0; }

  // Builds a Container of count elements in place(As<Container>(),
  // constructor arguments...) straight from the bytes; an empty one, after
  // the report, when they do not fit into what remains.
  template <typename Container, typename Place>
  void ReadArray(size_t count, Place place) {
    using Element = typename Container::value_type;
    const uint8_t* start;
    if (!Take(count, sizeof(Element), &start)) {
      place(As<Container>());
    } else if constexpr (sizeof(Element) == 1) {
      // Bytes and characters may view any bytes.
      const auto* first = reinterpret_cast<const Element*>(start);
      place(As<Container>(), first, first + count);
    } else {
      place(As<Container>(), PackedIterator<Element>(start),
            PackedIterator<Element>(start + count * sizeof(Element)));
    }
  }

 private:
  // Points *start at count elements of width bytes and moves past them.
  // False, after the report, when they go past the end; alignment may have
  // moved the location past it, and then even an empty read overruns.
  bool Take(size_t count, size_t width, const uint8_t** start) {
    if (location_ > size_ || count > (size_ - location_) / width) {
      ReportInvalidRead();
      return false;
    }
    *start = bytes_ + location_;
    location_ += count * width;
    return true;
  }

  const uint8_t* bytes_;
  size_t size_;
  size_t location_;
};

// Before length bytes are appended to array: grows it geometrically, and to
// 1 KiB at least, so that a message is not moved again and again while its
// first values are appended.
inline void MakeRoom(std::vector<uint8_t>& array, size_t length) {
  constexpr size_t kFirstRoom = 1024;
  size_t needed = array.size() + length;
  if (needed > array.capacity()) {
    array.reserve(std::max({needed, 2 * array.capacity(), kFirstRoom}));
  }
}

// Appends to a caller's byte array. Bytes are gathered in a scratch area
// and appended a piece at a time, without a capacity check and a size update
// per byte, and without zero-filling room ahead; a long run of bytes is
// appended as it is. Whatever is gathered is appended when the sink goes.
class ArraySink {
 public:
  explicit ArraySink(std::vector<uint8_t>* array)
      : array_(*array), base_(array->size()), out_(scratch_) {}
  ~ArraySink() { Flush(); }
  ArraySink(const ArraySink&) = delete;
  ArraySink& operator=(const ArraySink&) = delete;

  // The cursor is kept in a local between the stores: a byte store may alias
  // out_, which would otherwise be read again after each.
  void WriteByte(uint8_t byte) {
    uint8_t* out = Room(1);
    *out = byte;
    out_ = out + 1;
  }
  template <typename T>
  void WriteNumber(T number) {
    uint8_t* out = Room(sizeof(T));
    std::memcpy(out, &number, sizeof(T));
    out_ = out + sizeof(T);
  }
  // One room check for both.
  template <typename T>
  void WriteByteAndNumber(uint8_t byte, T number) {
    uint8_t* out = Room(1 + sizeof(T));
    *out = byte;
    std::memcpy(out + 1, &number, sizeof(T));
    out_ = out + 1 + sizeof(T);
  }
  void WriteAlignment(size_t alignment) {
    size_t padding = Padding(base_ + size_t(out_ - scratch_), alignment);
    uint8_t* out = Room(padding);
    std::memset(out, 0, padding);
    out_ = out + padding;
  }
  void WriteBytes(const uint8_t* bytes, size_t length) {
    uint8_t* out = out_;
    if (length <= size_t(std::end(scratch_) - out)) {
      // Neither pointer may be null for memcpy, even for no bytes.
      if (length != 0) std::memcpy(out, bytes, length);
      out_ = out + length;
      return;
    }
    Append(bytes, length);
  }

 private:
  // Where length bytes (at most a number's) can be written.
  uint8_t* Room(size_t length) {
    if (length > size_t(std::end(scratch_) - out_)) {
      Flush();
    }
    return out_;
  }
  // The rare ways out of the scratch area stay out of line, so that the
  // writes around them keep few registers busy.
  [[gnu::noinline]] void Append(const uint8_t* bytes, size_t length) {
    Flush();
    MakeRoom(array_, length);
    array_.insert(array_.end(), bytes, bytes + length);
    base_ = array_.size();
  }
  [[gnu::noinline]] void Flush() {
    MakeRoom(array_, size_t(out_ - scratch_));
    array_.insert(array_.end(), scratch_, out_);
    base_ = array_.size();
    out_ = scratch_;
  }

  std::vector<uint8_t>& array_;
  size_t base_;   // The array's size: the position of scratch_[0].
  uint8_t* out_;  // Next byte to write in the scratch area.
  uint8_t scratch_[512];
};

}  // namespace internal
}  // namespace flutter

#endif  // KEELHAVEN_CODEC_BYTE_CURSORS_H_
