#include "util/native_log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <regex>
#include <string>

#include "tests/support/file_security.h"
#include "tests/support/files.h"
#include "tests/support/log_capture.h"
#include "tests/support/run_child.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wine.h"
#include "util/held_folder.h"
#include "util/native_log_stream.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"
// After windows.h:
#include <io.h>

namespace {

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
    LogCapture capture;
    NativeLog(c.message);
    EXPECT_EQ(capture.Finish(), c.expected);
  }
}

// Sends the log to the file `name` in `folder` while the object lives.
class ScopedLogFile {
 public:
  ScopedLogFile(const std::wstring& folder, const std::wstring& name) {
    SetNativeLogFile(std::make_shared<HeldFolder>(HeldFolder::OpenPath(folder)),
                     name);
  }
  ~ScopedLogFile() { SetNativeLogFile(nullptr, L""); }
};

// The current UTC time in 100 ns units.
uint64_t UtcNow() {
  FILETIME now = {};
  ::GetSystemTimeAsFileTime(&now);
  return (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// The time a stamp names, in the units of UtcNow; 0 when it names none.
uint64_t StampTime(const std::string& stamp) {
  SYSTEMTIME time = {};
  FILETIME file_time = {};
  if (std::sscanf(stamp.c_str(), "%4hu-%2hu-%2hu %2hu:%2hu:%2hu.%3hu",
                  &time.wYear, &time.wMonth, &time.wDay, &time.wHour,
                  &time.wMinute, &time.wSecond, &time.wMilliseconds) != 7 ||
      !::SystemTimeToFileTime(&time, &file_time)) {
    return 0;
  }
  return (static_cast<uint64_t>(file_time.dwHighDateTime) << 32) |
         file_time.dwLowDateTime;
}

// The file's lines with their timestamps checked and taken off: each must
// be "YYYY-MM-DD HH:MM:SS.mmm " in UTC, between `earliest` and `latest`.
std::string WithoutTimestamps(const std::string& text, uint64_t earliest,
                              uint64_t latest) {
  const std::regex shape(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )");
  constexpr size_t kSize = 24;
  std::string rest;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    const std::string stamp = text.substr(start, kSize);
    EXPECT_TRUE(std::regex_match(stamp, shape)) << "stamp \"" << stamp << "\"";
    // The stamp is cut to milliseconds.
    EXPECT_LE(earliest / 10000, StampTime(stamp) / 10000) << stamp;
    EXPECT_GE(latest, StampTime(stamp)) << stamp;
    rest += text.substr(start + kSize, end + 1 - start - kSize);
    start = end + 1;
  }
  return rest;
}

class NativeLogFileTest : public testing::Test {
 protected:
  // What `text` holds with the timestamps checked (made since the test
  // began) and taken off.
  std::string Stripped(const std::string& text) {
    return WithoutTimestamps(text, earliest_, UtcNow());
  }

  TempFolder folder_;
  const std::wstring path_ = folder_.Join(L"keelhaven.log");
  const uint64_t earliest_ = UtcNow();
};

// The file gets the standard error lines, each after a UTC timestamp,
// appended to what it held; so do the lines written to std::cerr once it is
// forwarded (they once never reached the file).
TEST_F(NativeLogFileTest, AppendsTheExactLinesAfterATimestamp) {
  ASSERT_TRUE(WriteWholeFile(path_, "older line\n"));
  LogCapture capture;
  {
    ScopedLogFile log_file(folder_.path(), L"keelhaven.log");
    NativeLog("first");
    NativeLog("Process output: ", std::string("a\0b", 3));
    NativeLog("");
    std::streambuf* const previous = ForwardStandardErrorStream();
    std::cerr << "Invalid read in StandardCodecByteStreamReader" << std::endl;
    std::cerr << "two " << 2 << "\nlines\n";
    // A line that never ends goes out in pieces of 64 KiB.
    std::cerr << std::string(64 * 1024 + 3, '.') << std::endl;
    std::cerr.rdbuf(previous);
  }
  const std::string lines =
      "[Keelhaven Native] first\n"
      "[Keelhaven Native] Process output: " +
      std::string("a\0b\n", 4) + "[Keelhaven Native] \n" +
      "Invalid read in StandardCodecByteStreamReader\ntwo 2\nlines\n" +
      std::string(64 * 1024, '.') + "\n...\n";
  EXPECT_EQ(capture.Finish(), lines);
  const std::string file = ReadWholeFile(path_);
  ASSERT_EQ(file.compare(0, 11, "older line\n"), 0) << file;
  EXPECT_EQ(Stripped(file.substr(11)), lines);
}

// Before a line would take the file past 1 MiB, the file becomes ".1" (an
// older ".1" goes) and the line starts a new file, closed to everyone but
// SYSTEM and Administrators.
TEST_F(NativeLogFileTest, MovesAFullFileAside) {
  ASSERT_TRUE(WriteWholeFile(path_ + L".1", "stale\n"));
  std::string all;
  {
    LogCapture capture;
    ScopedLogFile log_file(folder_.path(), L"keelhaven.log");
    // 24 + 19 + 100000 + 1 bytes a line: ten fit in 1 MiB, eleven don't.
    for (char tag = 'a'; tag <= 'k'; ++tag) {
      NativeLog(std::string(1, tag) + std::string(99999, '.'));
    }
    all = capture.Finish();
  }
  const size_t line = 19 + 100000 + 1;
  ASSERT_EQ(all.size(), 11 * line);
  EXPECT_EQ(Stripped(ReadWholeFile(path_ + L".1")), all.substr(0, 10 * line));
  EXPECT_EQ(Stripped(ReadWholeFile(path_)), all.substr(10 * line));
  ExpectClosedToEveryoneAndUsers(path_);
}

// A line's text over 256 KiB reaches the file cut there, never inside a
// character, with a marker of what is missing; the console gets it whole.
TEST_F(NativeLogFileTest, CutsAnOverlongLineWithAMarker) {
  constexpr size_t kBound = 256 * 1024;
  const std::string e_acute = "\xC3\xA9";
  const struct {
    std::string text;
    std::string in_file;
  } cases[] = {
      {std::string(kBound, 'x'), std::string(kBound, 'x')},
      {std::string(kBound + 1, 'x'),
       std::string(kBound, 'x') + " [1 more bytes cut]"},
      // The character across the bound goes whole.
      {std::string(kBound - 1, 'x') + e_acute + std::string(5000, 'y'),
       std::string(kBound - 1, 'x') + " [5002 more bytes cut]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in_file.substr(kBound - 1, 30));
    DeleteTree(path_);
    LogCapture capture;
    {
      ScopedLogFile log_file(folder_.path(), L"keelhaven.log");
      NativeLog(c.text);
    }
    EXPECT_EQ(capture.Finish(), "[Keelhaven Native] " + c.text + "\n");
    EXPECT_EQ(Stripped(ReadWholeFile(path_)),
              "[Keelhaven Native] " + c.in_file + "\n");
  }
}

constexpr wchar_t kChildFolderVariable[] = L"KEELHAVEN_TEST_LOG_CHILD";

// Started from the desktop, the host has no standard error and its log
// lines reach only the file. Started elevated through UAC from a console,
// the C runtime has no descriptor 2, and attaching to the console gives the
// process a standard error handle later: the lines go there (they once went
// nowhere). The child below is this program, started without standard
// handles; it makes a file its standard error handle halfway.
TEST_F(NativeLogFileTest, UsesTheStandardErrorHandleTheRuntimeLacks) {
  const ScopedEnvironmentVariable child(kChildFolderVariable,
                                        folder_.path().c_str());
  wchar_t program[MAX_PATH] = {};
  ASSERT_NE(::GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
  ChildOptions options;
  options.standard_handles = false;
  // The child has no output of its own: its failures come back in a report.
  const std::wstring report = folder_.Join(L"child.xml");
  const ChildRun run =
      RunChild(program,
               L"--gtest_also_run_disabled_tests "
               L"--gtest_filter=NativeLogChild.DISABLED_LogsAsAttachedLater "
               L"--gtest_output=xml:" +
                   report,
               options);
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exit_code, 0u) << ReadWholeFile(report);
  const std::string attached =
      "[Keelhaven Native] attached \xe2\x80\x94 later\n"
      "Invalid read in StandardCodecByteStreamReader\n";
  EXPECT_EQ(ReadWholeFile(folder_.Join(L"stderr.bin")), attached);
  EXPECT_EQ(Stripped(ReadWholeFile(path_)),
            "[Keelhaven Native] no standard error\n" + attached);
}

// The child of the test above, run only by it.
TEST(NativeLogChild, DISABLED_LogsAsAttachedLater) {
  wchar_t folder[MAX_PATH] = {};
  ASSERT_NE(::GetEnvironmentVariableW(kChildFolderVariable, folder, MAX_PATH),
            0u);
  ASSERT_EQ(_get_osfhandle(2), -2) << "the runtime has a standard error";
  ForwardStandardErrorStream();
  const std::wstring base(folder);
  ScopedLogFile log_file(base, L"keelhaven.log");
  NativeLog("no standard error");
  const UniqueFileHandle standard_error(::CreateFileW(
      (base + L"\\stderr.bin").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(standard_error);
  ::SetStdHandle(STD_ERROR_HANDLE, standard_error.get());
  NativeLog("attached \xe2\x80\x94 later");
  std::cerr << "Invalid read in StandardCodecByteStreamReader" << std::endl;
  ::SetStdHandle(STD_ERROR_HANDLE, nullptr);
  SetNativeLogFile(nullptr, L"");

  // A console shows the text as written, in a code page that knows no "—",
  // and keeps that code page; a long line goes in pieces, never cut inside
  // a character. Rows wide enough for the longest line.
  ASSERT_TRUE(::AllocConsole());
  ASSERT_TRUE(::SetConsoleOutputCP(437));
  const UniqueFileHandle console(::CreateFileW(
      L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(console);
  constexpr SHORT kWidth = 4200;
  CONSOLE_SCREEN_BUFFER_INFO buffer = {};
  ASSERT_TRUE(::GetConsoleScreenBufferInfo(console.get(), &buffer));
  ASSERT_TRUE(::SetConsoleScreenBufferSize(console.get(),
                                           COORD{kWidth, buffer.dwSize.Y}));
  ::SetStdHandle(STD_ERROR_HANDLE, console.get());
  NativeLog("attached \xe2\x80\x94 later");
  std::cerr << "caf\xc3\xa9" << std::endl;
  NativeLog(std::string(4095, 'a') + "\xe2\x80\x94");
  EXPECT_EQ(::GetConsoleOutputCP(), 437u);
  const std::wstring rows[] = {
      L"[Keelhaven Native] attached \u2014 later", L"caf\u00e9",
      L"[Keelhaven Native] " + std::wstring(4095, L'a') + L"\u2014"};
  for (SHORT row = 0; row < 3; ++row) {
    std::wstring shown(kWidth, L'\0');
    DWORD count = 0;
    ASSERT_TRUE(::ReadConsoleOutputCharacterW(console.get(), &shown[0], kWidth,
                                              COORD{0, row}, &count));
    shown.resize(count);
    EXPECT_EQ(shown.substr(0, shown.find_last_not_of(L' ') + 1), rows[row]);
  }
  ::SetStdHandle(STD_ERROR_HANDLE, nullptr);
}

// A link where the log file or its folder should be is never written
// through: the full file behind it is neither appended to nor rotated.
TEST_F(NativeLogFileTest, NeverWritesOrRotatesThroughALink) {
  const std::string full(2 * 1024 * 1024, 'x');
  const struct {
    const char* name;
    const wchar_t* folder;  // in folder_
    const wchar_t* link;    // in folder_, to `elsewhere`'s file or itself
    bool file_link;
  } cases[] = {
      {"the file is a link", L"", L"keelhaven.log", true},
      {"the folder is a link", L"linked", L"linked", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder elsewhere;
    const std::wstring target = elsewhere.Join(L"keelhaven.log");
    ASSERT_TRUE(WriteWholeFile(target, full));
    const std::wstring link = folder_.Join(c.link);
    // Wine reads a Unix symbolic link to a file as the file: that it is
    // there is enough.
    if (!MakeSymbolicLink(link, c.file_link ? target : elsewhere.path()) &&
        !(RunningUnderWine() && FileExists(link))) {
      GTEST_SKIP() << "no symbolic link can be made here";
    }
    {
      LogCapture capture;
      ScopedLogFile log_file(
          *c.folder ? folder_.Join(c.folder) : folder_.path(),
          L"keelhaven.log");
      NativeLog("must not land behind the link");
    }
    EXPECT_EQ(ReadWholeFile(target), full);
    EXPECT_FALSE(FileExists(target + L".1"));
    DeleteTree(link);
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
