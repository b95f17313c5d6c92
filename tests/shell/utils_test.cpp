// The command-line helpers of the process entry.
#include "shell/utils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ArgumentToUtf8, ConvertsValidTextAndEmptiesWhatIsNot) {
  struct Case {
    const char* name;
    const wchar_t* text;
    std::string utf8;
  };
  const Case cases[] = {
      {"null", nullptr, ""},
      {"empty", L"", ""},
      {"ascii", L"--verbose", "--verbose"},
      {"two-byte", L"\u00fc", "\xc3\xbc"},
      {"three-byte", L"\u65e5\u672c", "\xe6\x97\xa5\xe6\x9c\xac"},
      {"surrogate pair", L"\xD83D\xDD11", "\xf0\x9f\x94\x91"},
      {"unpaired high surrogate", L"key\xD83D", ""},
      {"unpaired low surrogate", L"\xDD11key", ""},
      {"reversed pair", L"\xDD11\xD83D", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ArgumentToUtf8(c.text), c.utf8);
  }
}

TEST(ArgumentsFromCommandLine, SplitsAsWindowsDoesAndSkipsTheProgram) {
  struct Case {
    const wchar_t* command_line;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {L"keelhaven.exe", {}},
      {L"\"C:\\Program Files\\Keelhaven\\keelhaven.exe\"", {}},
      {L"\"C:\\Program Files\\Keelhaven\\keelhaven.exe\" a", {"a"}},
      {L"k.exe \"two  blanks\" next", {"two  blanks", "next"}},
      {L"k.exe \"\" after-empty", {"", "after-empty"}},
      {L"k.exe say\\\"hi\\\"", {"say\"hi\""}},
      {L"k.exe \u00fcber",
       {"\xc3\xbc"
        "ber"}},
      // The broken argument stays in the list, empty, so the next keeps
      // its position.
      {L"k.exe first bro\xD800ken last", {"first", "", "last"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.arguments.size() << " arguments");
    EXPECT_EQ(ArgumentsFromCommandLine(c.command_line), c.arguments);
  }
}

}  // namespace
