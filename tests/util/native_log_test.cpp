#include "util/native_log.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/log_capture.h"

namespace {

std::string LogOf(const std::string& message) {
  LogCapture capture;
  NativeLog(message);
  return capture.Finish();
}

TEST(NativeLogTest, WritesPrefixMessageAndOneLineFeed) {
  struct Case {
    std::string message;
    std::string expected;
  };
  const Case cases[] = {
      {"", "[Keelhaven Native] \n"},
      {"Tunnel torn down", "[Keelhaven Native] Tunnel torn down\n"},
      // A message ending in a line feed gets a second one.
      {"line\n", "[Keelhaven Native] line\n\n"},
      // Several lines go out as one write; only the first carries the prefix.
      {"a\r\nb\nc", "[Keelhaven Native] a\r\nb\nc\n"},
      // Bytes pass unchanged, NUL and non-ASCII included.
      {std::string("x\0y\xc3\xa9", 5),
       std::string("[Keelhaven Native] x\0y\xc3\xa9\n", 25)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(LogOf(c.message), c.expected);
  }
}

TEST(WideToUtf8Test, ConvertsOrMarksRefusal) {
  struct Case {
    const char* name;
    std::wstring input;
    std::string expected;
  };
  const Case cases[] = {
      {"empty", L"", ""},
      {"ascii path", L"C:\\ProgramData\\Keelhaven\\Keelhaven.conf",
       "C:\\ProgramData\\Keelhaven\\Keelhaven.conf"},
      {"e acute", L"C:\\Users\\Ren\u00e9", "C:\\Users\\Ren\xc3\xa9"},
      {"embedded NUL", std::wstring(L"ab\0cd", 5), "ab"},
      {"lone high surrogate", std::wstring(1, wchar_t(0xD800)), "\xef\xbf\xbd"},
      {"surrogate pair", L"\U0001F512", "\xf0\x9f\x94\x92"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WideToUtf8(c.input), c.expected);
  }
}

}  // namespace
