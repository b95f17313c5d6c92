#include "standins/common/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TEST(ParseIntegerTest, AcceptsOnlyPlainDecimalsWithinBounds) {
  struct Case {
    const char* text;
    int64_t min;
    int64_t max;
    bool ok;
    int64_t value;
  };
  const Case cases[] = {
      {"0", 0, 10, true, 0},
      {"10", 0, 10, true, 10},
      {"11", 0, 10, false, 0},
      {"007", 0, 10, true, 7},
      {"", 0, 10, false, 0},
      {"-", -5, 10, false, 0},
      {"-5", -5, 10, true, -5},
      {"-6", -5, 10, false, 0},
      {"-1", 0, 10, false, 0},  // no sign when the minimum is not negative
      {"+1", 0, 10, false, 0},
      {" 1", 0, 10, false, 0},
      {"1 ", 0, 10, false, 0},
      {"1x", 0, 10, false, 0},
      {"3", 5, 10, false, 0},
      {"9223372036854775807", 0, INT64_MAX, true, INT64_MAX},
      {"9223372036854775808", 0, INT64_MAX, false, 0},
      {"99999999999999999999999", 0, INT64_MAX, false, 0},
      {"-9223372036854775808", INT64_MIN, INT64_MAX, true, INT64_MIN},
      {"-9223372036854775809", INT64_MIN, INT64_MAX, false, 0},
      {"4294967295", -2147483648LL, 4294967295LL, true, 4294967295LL},
      {"4294967296", -2147483648LL, 4294967295LL, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    int64_t value = 0;
    EXPECT_EQ(ParseInteger(c.text, c.min, c.max, &value), c.ok);
    if (c.ok) {
      EXPECT_EQ(value, c.value);
    }
  }
}

}  // namespace
