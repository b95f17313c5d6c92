// The value model of the platform channel: a closed sum type over fourteen
// alternatives whose index order is part of the wire contract (the
// serializer's tags follow it, and so does the key order of EncodableMap).
#ifndef KEELHAVEN_CODEC_ENCODABLE_VALUE_H_
#define KEELHAVEN_CODEC_ENCODABLE_VALUE_H_

#include <any>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace flutter {

class EncodableValue;

// Elements in insertion order.
using EncodableList = std::vector<EncodableValue>;
// Unique keys in ascending order of EncodableValue's less-than; iteration
// order is the order in which the serializer writes the entries.
using EncodableMap = std::map<EncodableValue, EncodableValue>;

// Owns one object of any copyable type. The standard serializer cannot encode
// it; nothing in this program creates one. Two holders are equivalent only
// when they are the same object.
class CustomValueHolder {
 public:
  template <typename T, typename = std::enable_if_t<!std::is_same_v<
                            std::decay_t<T>, CustomValueHolder>>>
  explicit CustomValueHolder(T&& value) : value_(std::forward<T>(value)) {}

  const std::any& value() const { return value_; }

  friend bool operator<(const CustomValueHolder& a,
                        const CustomValueHolder& b) {
    return std::less<const void*>()(&a, &b);
  }
  friend bool operator==(const CustomValueHolder& a,
                         const CustomValueHolder& b) {
    return &a == &b;
  }

 private:
  std::any value_;
};

namespace internal {
// Alternative index order: 0 null, 1 bool, 2 int32, 3 int64, 4 double,
// 5 string, 6 byte list, 7 int32 list, 8 int64 list, 9 double list, 10 list,
// 11 map, 12 custom, 13 float list.
using EncodableVariant =
    std::variant<std::monostate, bool, int32_t, int64_t, double, std::string,
                 std::vector<uint8_t>, std::vector<int32_t>,
                 std::vector<int64_t>, std::vector<double>, EncodableList,
                 EncodableMap, CustomValueHolder, std::vector<float>>;

// Negative, zero or positive as a is less than, equivalent to or greater
// than b, in the order below. One walk over both values: comparing with <
// in both directions at every level of nesting would take time exponential
// in the depth of equal nested lists.
int Compare(const EncodableValue& a, const EncodableValue& b);
}  // namespace internal

// A value is a std::variant, so std::get (which throws
// std::bad_variant_access on the wrong alternative), std::get_if,
// std::holds_alternative and std::visit work on it directly.
class EncodableValue : public internal::EncodableVariant {
 public:
  using super = internal::EncodableVariant;
  using super::super;
  using super::operator=;

  EncodableValue() = default;

  // A character literal is a string, never a bool (a pointer converts to
  // bool, and a lookup by such a key would silently miss).
  EncodableValue(const char* string) : super(std::string(string)) {}
  EncodableValue& operator=(const char* string) {
    super::operator=(std::string(string));
    return *this;
  }

  bool IsNull() const { return index() == 0; }

  // Strict ordering used as the map's key comparison: by alternative index
  // first, then by the held objects (strings byte-wise as unsigned, lists
  // lexicographically, maps entry by entry, custom values by address). A
  // NaN is neither less nor greater than any double.
  friend bool operator<(const EncodableValue& a, const EncodableValue& b) {
    return internal::Compare(a, b) < 0;
  }
  friend bool operator>(const EncodableValue& a, const EncodableValue& b) {
    return b < a;
  }
  // Equivalence under the ordering above.
  friend bool operator==(const EncodableValue& a, const EncodableValue& b) {
    return internal::Compare(a, b) == 0;
  }
  friend bool operator!=(const EncodableValue& a, const EncodableValue& b) {
    return !(a == b);
  }
};

}  // namespace flutter

#endif  // KEELHAVEN_CODEC_ENCODABLE_VALUE_H_
