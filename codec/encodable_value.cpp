#include "codec/encodable_value.h"

#include <algorithm>
#include <cstring>

namespace flutter {
namespace internal {

namespace {

// Numbers as they compare with <: a pair of which neither is less (a NaN
// against anything) counts as equal.
template <typename T>
int CompareNumbers(const T& a, const T& b) {
  return a < b ? -1 : b < a ? 1 : 0;
}

template <typename T>
int CompareVectors(const std::vector<T>& a, const std::vector<T>& b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    int order = CompareNumbers(a[i], b[i]);
    if (order != 0) {
      return order;
    }
  }
  return CompareNumbers(a.size(), b.size());
}

int CompareBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  size_t common = std::min(a.size(), b.size());
  int order = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
  return order != 0 ? order : CompareNumbers(a.size(), b.size());
}

int CompareLists(const EncodableList& a, const EncodableList& b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    int order = Compare(a[i], b[i]);
    if (order != 0) {
      return order;
    }
  }
  return CompareNumbers(a.size(), b.size());
}

int CompareMaps(const EncodableMap& a, const EncodableMap& b) {
  auto left = a.begin();
  auto right = b.begin();
  for (; left != a.end() && right != b.end(); ++left, ++right) {
    int order = Compare(left->first, right->first);
    if (order == 0) {
      order = Compare(left->second, right->second);
    }
    if (order != 0) {
      return order;
    }
  }
  return CompareNumbers(a.size(), b.size());
}

}  // namespace

int Compare(const EncodableValue& a, const EncodableValue& b) {
  // A value left without an alternative by a failed assignment sorts first.
  if (a.valueless_by_exception() || b.valueless_by_exception()) {
    return CompareNumbers(!a.valueless_by_exception(),
                          !b.valueless_by_exception());
  }
  if (a.index() != b.index()) {
    return CompareNumbers(a.index(), b.index());
  }
  switch (a.index()) {
    case 1:
      return CompareNumbers(*std::get_if<bool>(&a), *std::get_if<bool>(&b));
    case 2:
      return CompareNumbers(*std::get_if<int32_t>(&a),
                            *std::get_if<int32_t>(&b));
    case 3:
      return CompareNumbers(*std::get_if<int64_t>(&a),
                            *std::get_if<int64_t>(&b));
    case 4:
      return CompareNumbers(*std::get_if<double>(&a), *std::get_if<double>(&b));
    case 5: {
      // Byte-wise, the bytes taken as unsigned.
      int order =
          std::get_if<std::string>(&a)->compare(*std::get_if<std::string>(&b));
      return CompareNumbers(order, 0);
    }
    case 6:
      return CompareBytes(*std::get_if<std::vector<uint8_t>>(&a),
                          *std::get_if<std::vector<uint8_t>>(&b));
    case 7:
      return CompareVectors(*std::get_if<std::vector<int32_t>>(&a),
                            *std::get_if<std::vector<int32_t>>(&b));
    case 8:
      return CompareVectors(*std::get_if<std::vector<int64_t>>(&a),
                            *std::get_if<std::vector<int64_t>>(&b));
    case 9:
      return CompareVectors(*std::get_if<std::vector<double>>(&a),
                            *std::get_if<std::vector<double>>(&b));
    case 10:
      return CompareLists(*std::get_if<EncodableList>(&a),
                          *std::get_if<EncodableList>(&b));
    case 11:
      return CompareMaps(*std::get_if<EncodableMap>(&a),
                         *std::get_if<EncodableMap>(&b));
    case 12:
      return CompareNumbers(*std::get_if<CustomValueHolder>(&a),
                            *std::get_if<CustomValueHolder>(&b));
    case 13:
      return CompareVectors(*std::get_if<std::vector<float>>(&a),
                            *std::get_if<std::vector<float>>(&b));
    default:  // null: all equivalent
      return 0;
  }
}

}  // namespace internal
}  // namespace flutter
