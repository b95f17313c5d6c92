#include "codec/encodable_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include "tests/codec/codec_test_util.h"

namespace flutter {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(EncodableValueTest, AlternativesHaveTheirFixedIndex) {
  struct Case {
    const char* name;
    EncodableValue value;
    size_t index;
  };
  const Case cases[] = {
      {"default", EncodableValue(), 0},
      {"bool", EncodableValue(false), 1},
      {"int32", EncodableValue(int32_t{7}), 2},
      {"int64", EncodableValue(int64_t{7}), 3},
      {"double", EncodableValue(7.0), 4},
      {"character literal", EncodableValue("privateKey"), 5},
      {"std::string", EncodableValue(std::string("x")), 5},
      {"byte list", EncodableValue(std::vector<uint8_t>{1}), 6},
      {"int32 list", EncodableValue(std::vector<int32_t>{1}), 7},
      {"int64 list", EncodableValue(std::vector<int64_t>{1}), 8},
      {"double list", EncodableValue(std::vector<double>{1}), 9},
      {"list", EncodableValue(EncodableList{}), 10},
      {"map", EncodableValue(EncodableMap{}), 11},
      {"custom", EncodableValue(CustomValueHolder(3)), 12},
      // After custom, not beside the other typed lists.
      {"float list", EncodableValue(std::vector<float>{1}), 13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.value.index(), c.index);
    EXPECT_EQ(c.value.IsNull(), c.index == 0);
  }
}

TEST(EncodableValueTest, LessThanFollowsIndexThenContent) {
  // Each pair must be strictly ascending.
  struct Case {
    const char* name;
    EncodableValue lower;
    EncodableValue higher;
  };
  const Case cases[] = {
      {"null before bool", EncodableValue(), EncodableValue(false)},
      {"bool before int32", EncodableValue(true), EncodableValue(int32_t{-5})},
      {"int32 1 before int64 1", EncodableValue(int32_t{1}),
       EncodableValue(int64_t{1})},
      {"int64 before double", EncodableValue(int64_t{9}), EncodableValue(0.0)},
      {"double before string", EncodableValue(1e300), EncodableValue("")},
      {"false before true", EncodableValue(false), EncodableValue(true)},
      {"int32 signed", EncodableValue(int32_t{-1}), EncodableValue(int32_t{0})},
      {"int64 signed", EncodableValue(int64_t{-1}), EncodableValue(int64_t{0})},
      {"double", EncodableValue(-0.5), EncodableValue(0.25)},
      {"B before a", EncodableValue("B"), EncodableValue("a")},
      {"a before ab", EncodableValue("a"), EncodableValue("ab")},
      {"ab before b", EncodableValue("ab"), EncodableValue("b")},
      {"ASCII before 0x80", EncodableValue("~~~"), EncodableValue("\x80")},
      {"bytes unsigned", EncodableValue(std::vector<uint8_t>{0x7f}),
       EncodableValue(std::vector<uint8_t>{0x80})},
      {"bytes prefix", EncodableValue(std::vector<uint8_t>{1}),
       EncodableValue(std::vector<uint8_t>{1, 0})},
      {"int32 list signed", EncodableValue(std::vector<int32_t>{-1}),
       EncodableValue(std::vector<int32_t>{0})},
      {"int64 list", EncodableValue(std::vector<int64_t>{5, -1}),
       EncodableValue(std::vector<int64_t>{5, 0})},
      {"NaN pair counts as equal", EncodableValue(std::vector<double>{kNaN, 1}),
       EncodableValue(std::vector<double>{kNaN, 2})},
      {"float list prefix", EncodableValue(std::vector<float>{1}),
       EncodableValue(std::vector<float>{1, -1})},
      {"list by elements", EncodableValue(EncodableList{EncodableValue("a")}),
       EncodableValue(EncodableList{EncodableValue("b")})},
      {"list prefix", EncodableValue(EncodableList{}),
       EncodableValue(EncodableList{EncodableValue()})},
      {"map by key",
       EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(9)}}),
       EncodableValue(EncodableMap{{EncodableValue("b"), EncodableValue(0)}})},
      {"map by value on equal keys",
       EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(0)}}),
       EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(1)}})},
      {"map prefix",
       EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(0)}}),
       EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(0)},
                                   {EncodableValue("b"), EncodableValue(0)}})},
      {"custom before float list", EncodableValue(CustomValueHolder(1)),
       EncodableValue(std::vector<float>{})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(c.lower < c.higher);
    EXPECT_FALSE(c.higher < c.lower);
  }
}

// Equal lists nested n deep; each level wraps the previous one in a list
// and a map.
EncodableValue Nested(int depth) {
  EncodableValue value(int32_t{7});
  for (int i = 0; i < depth; ++i) {
    value = EncodableValue(EncodableList{EncodableValue(
        EncodableMap{{EncodableValue(1),
                      EncodableValue(EncodableList{std::move(value)})}})});
  }
  return value;
}

TEST(EncodableValueTest, EquivalentValues) {
  struct Case {
    const char* name;
    EncodableValue a;
    EncodableValue b;
  };
  const Case cases[] = {
      {"nulls", EncodableValue(), EncodableValue()},
      {"NaN and a number", EncodableValue(kNaN), EncodableValue(1.0)},
      {"signed zeros", EncodableValue(-0.0), EncodableValue(0.0)},
      {"double lists with NaN", EncodableValue(std::vector<double>{kNaN}),
       EncodableValue(std::vector<double>{3})},
      // Comparing both ways at every level once took 2^depth steps here, so
      // a message with two such map keys never finished decoding.
      {"deeply nested equal lists", Nested(100), Nested(100)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(c.a < c.b);
    EXPECT_FALSE(c.b < c.a);
  }
}

TEST(EncodableValueTest, MapIteratesKeysInAlternativeThenContentOrder) {
  EncodableMap map;
  map[EncodableValue("1")] = EncodableValue("string");
  map[EncodableValue(int64_t{1})] = EncodableValue("int64");
  map[EncodableValue(int32_t{1})] = EncodableValue("int32");
  map[EncodableValue("b")] = EncodableValue();
  map[EncodableValue("\xc3\xa9")] = EncodableValue();
  map[EncodableValue("B")] = EncodableValue();
  map[EncodableValue(true)] = EncodableValue();
  map[EncodableValue()] = EncodableValue();
  std::vector<EncodableValue> keys;
  for (const auto& entry : map) {
    keys.push_back(entry.first);
  }
  const std::vector<EncodableValue> expected = {
      EncodableValue(),           EncodableValue(true),
      EncodableValue(int32_t{1}), EncodableValue(int64_t{1}),
      EncodableValue("1"),        EncodableValue("B"),
      EncodableValue("b"),        EncodableValue("\xc3\xa9")};
  ASSERT_EQ(keys.size(), expected.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(keys[i].index(), expected[i].index());
    EXPECT_EQ(keys[i], expected[i]);
  }
}

TEST(EncodableValueTest, LookupByStringFindsOnlyTheStringKey) {
  EncodableMap map;
  map[EncodableValue(std::vector<uint8_t>{'p', 'r', 'i', 'v', 'a', 't', 'e',
                                          'K', 'e', 'y'})] = EncodableValue(1);
  EXPECT_EQ(map.find(EncodableValue("privateKey")), map.end());
  map[EncodableValue(std::string("privateKey"))] = EncodableValue(2);
  auto found = map.find(EncodableValue("privateKey"));
  ASSERT_NE(found, map.end());
  EXPECT_EQ(std::get<int32_t>(found->second), 2);
  EXPECT_EQ(map.size(), 2u);
}

TEST(EncodableValueTest, CustomValuesAreDistinctKeysUnlessTheSameObject) {
  EncodableValue custom(CustomValueHolder(std::string("same content")));
  EncodableValue copy = custom;
  EXPECT_FALSE(custom < custom);
  EXPECT_TRUE(custom < copy || copy < custom);
  EncodableMap map;
  map[custom] = EncodableValue();
  map[copy] = EncodableValue();
  EXPECT_EQ(map.size(), 2u);
  EXPECT_EQ(
      std::any_cast<std::string>(std::get<CustomValueHolder>(copy).value()),
      "same content");
}

}  // namespace
}  // namespace flutter
