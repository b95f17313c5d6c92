// The process command line as the engine receives it: every argument after
// the program path, in order, as UTF-8; and the project folder it runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standins/channel_tool/channel_text.h"
#include "tests/e2e/host_test.h"

namespace {

std::string ArgLine(int index, const std::string& text) {
  return "arg " + std::to_string(index) + " " + ToHex(text);
}

using HostArgumentsTest = HostTest;

TEST_F(HostArgumentsTest, ForwardsEveryArgumentInOrderAsUtf8) {
  HostOptions options;
  options.script = "close\n";
  // Hand-built: a quoted argument with blanks, one beyond ASCII, one with
  // an unpaired surrogate, and one after it that must keep its place.
  options.arguments =
      L"plain \"two  blanks inside\" \u00fcber\u65e5\u672c "
      L"broken\xD800half last";
  const HostRun run = RunHost(options);
  const std::vector<std::string> expected = {
      "args 7",
      ArgLine(0, run.script_argument),
      ArgLine(1, run.transcript_argument),
      ArgLine(2, "plain"),
      ArgLine(3, "two  blanks inside"),
      ArgLine(4,
              "\xc3\xbc"
              "ber\xe6\x97\xa5\xe6\x9c\xac"),
      "arg 5 ",
      ArgLine(6, "last"),
  };
  EXPECT_EQ(run.TranscriptLines("arg"), expected);
}

TEST_F(HostArgumentsTest, ProgramPathAloneGivesNoArguments) {
  HostOptions options;
  options.script = "close\n";
  options.paths_as_arguments = false;
  const HostRun run = RunHost(options);
  const std::vector<std::string> expected = {"args 0", "argv null"};
  EXPECT_EQ(run.TranscriptLines("arg"), expected);
}

TEST_F(HostArgumentsTest, RunsTheProjectInTheRelativeDataFolder) {
  HostOptions options;
  options.script = "close\n";
  const HostRun run = RunHost(options);
  using Lines = std::vector<std::string>;
  EXPECT_EQ(run.TranscriptLines("assets "),
            Lines{"assets data\\flutter_assets"});
  EXPECT_EQ(run.TranscriptLines("icu "), Lines{"icu data\\icudtl.dat"});
  EXPECT_EQ(run.TranscriptLines("aot "), Lines{"aot data\\app.so"});
}

}  // namespace
