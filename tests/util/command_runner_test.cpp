#include "util/command_runner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standins/common/text.h"
#include "tests/standins/standin_wireguard.h"
#include "tests/support/handle_count.h"
#include "tests/support/log_capture.h"
#include "tests/support/run_child.h"
#include "tests/support/scoped_environment.h"
#include "tests/util/runner_log.h"
#include "util/native_log.h"
#include "util/system_environment.h"
#include "util/windows_include.h"

namespace {

// The bytes of the stand-in's bytes= fault: byte i is 'a' + i % 26.
std::string PatternBytes(size_t count) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>('a' + i % 26);
  return bytes;
}

struct Outcome {
  int32_t result = 0;
  std::string output;
  std::string log;
  ULONGLONG elapsed_ms = 0;
};

// The children are the stand-in wg.exe, told by its fault file what to do.
class RunCommandTest : public testing::Test {
 protected:
  // The command line of a child that acts out `fault` (the keys of a fault
  // line, see standins/wireguard/README.md).
  std::wstring Child(const std::string& fault) {
    tools_.SetFaults("show " + fault + "\n");
    return L"\"" + tools_.Tool(L"wg.exe") + L"\" show Keelhaven";
  }

  static Outcome RunAndRecord(const std::wstring& command_line,
                              uint32_t timeout_ms,
                              std::string initial_output = "stale",
                              const OutputLogFilter& filter = {}) {
    Outcome outcome;
    outcome.output = std::move(initial_output);
    LogCapture capture;
    const ULONGLONG start = ::GetTickCount64();
    outcome.result =
        RunCommand(command_line, &outcome.output, timeout_ms, filter);
    outcome.elapsed_ms = ::GetTickCount64() - start;
    outcome.log = capture.Finish();
    return outcome;
  }

  StandinWireGuard tools_;
};

// Whatever was in the output before is replaced; both streams come in pipe
// order, NUL bytes kept; the exit code is logged as an unsigned number.
TEST_F(RunCommandTest, GivesTheChildsOutputAndExitCode) {
  const struct {
    std::string fault;
    const char* code;
    int32_t result;
    std::string output;
  } cases[] = {
      {"exit=0", "0", 0, ""},
      // Standard output, then standard error, then 10 000 bytes more of
      // standard output.
      {"stdout=" + ToHex("head\n") + " stderr=" + ToHex("ERR-1\n") +
           " bytes=10000 exit=0",
       "0", 0, "head\nERR-1\n" + PatternBytes(10000)},
      {"stdout=610062000063 exit=0", "0", 0, std::string("a\0b\0\0c", 6)},
      {"exit=1", "1", 1, ""},
      {"exit=42", "42", 42, ""},
      {"exit=4294967291", "4294967291", -5, ""},
      {"exit=3221225477", "3221225477", static_cast<int32_t>(0xC0000005u), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    const std::wstring command = Child(c.fault);
    const Outcome run = RunAndRecord(command, 10000);
    EXPECT_EQ(run.result, c.result);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.log, RunLog(command, c.code, c.output));
  }
}

// Around one read's size, and far more than the pipe holds: the child must
// never block on the pipe, and what it wrote just before its exit is still
// read after the exit has been seen. Past 4 MiB the rest is read and
// dropped, and the output ends at its last line break (with a warning).
TEST_F(RunCommandTest, CapturesLargeOutputUpToTheBound) {
  constexpr size_t kBound = 4 * 1024 * 1024;
  const struct {
    std::string fault;
    std::string output;
    const char* dropped;  // the warning's count; null for none
  } cases[] = {
      {"bytes=65536", PatternBytes(65536), nullptr},
      {"bytes=65537", PatternBytes(65537), nullptr},
      {"bytes=300000", PatternBytes(300000), nullptr},
      {"bytes=3145728", PatternBytes(3145728), nullptr},
      {"bytes=4194304", PatternBytes(kBound), nullptr},
      // No line break at all: the bound's worth stays.
      {"bytes=6000000", PatternBytes(kBound), "1805696"},
      {"stdout=" + ToHex("one\ntwo\n") + " bytes=6000000", "one\ntwo\n",
       "6000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    const Outcome run = RunAndRecord(Child(c.fault + " exit=0"), 20000);
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(run.output.size(), c.output.size());
    EXPECT_TRUE(run.output == c.output);
    const std::string warning =
        Line("WARNING: Process output over 4194304 bytes, " +
             std::string(c.dropped ? c.dropped : "") + " bytes dropped");
    EXPECT_EQ(run.log.find(warning) != std::string::npos, c.dropped != nullptr);
  }
}

// Both kinds of child that outlive the limit: one that closed its output
// (the pipe may report its end, only the exit is missing) and one that
// keeps its output open and never exits (the pipe never ends). Both give
// what they wrote before the limit and are terminated at the limit; the
// second has a read in flight at the deadline, cancelled before the run
// returns. The limit ends what the child started too: the last child
// starts a copy of itself that holds the pipe, then hangs.
TEST_F(RunCommandTest, TerminatesAChildThatRunsPastTheLimit) {
  struct Case {
    std::string fault;
    const char* output;
  };
  const Case cases[] = {
      {"close_output=1 hang=1", ""},
      {"stdout=" + ToHex("still here\n") + " hang=1", "still here\n"},
      {"stdout=41 grandchild_ms=60000 hang=1", "A"},
  };
  constexpr uint32_t kLimit = 1500;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    const std::wstring command = Child(c.fault);
    const Outcome run = RunAndRecord(command, kLimit);
    EXPECT_EQ(run.result, kRunTimedOut);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.log, RunLog(command, "4294967294", c.output,
                              Line("WARNING: Process timed out after 1500ms "
                                   "\xE2\x80\x94 terminating")));
    EXPECT_GE(run.elapsed_ms, kLimit - 100);
    EXPECT_LT(run.elapsed_ms, kLimit + 3000);
    // Termination takes effect shortly after the call.
    size_t left = 0;
    for (int i = 0; i < 40; ++i) {
      left = ProcessesIn(tools_.install_folder()).size();
      if (left == 0) break;
      ::Sleep(50);
    }
    EXPECT_EQ(left, 0u);
  }
}

// A grandchild that inherited the pipe and outlives the child must not hold
// the run: the child's exit ends it with the child's code and output.
TEST_F(RunCommandTest, ReturnsWhenTheChildExitsThoughAGrandchildHoldsThePipe) {
  constexpr uint32_t kLimit = 20000;
  const std::wstring command =
      Child("stdout=" + ToHex("held\n") + " grandchild_ms=20000 exit=7");
  const Outcome run = RunAndRecord(command, kLimit);
  EXPECT_EQ(run.result, 7);
  EXPECT_EQ(run.output, "held\n");
  EXPECT_EQ(run.log, RunLog(command, "7", "held\n"));
  EXPECT_LT(run.elapsed_ms, kLimit / 2);
  EXPECT_EQ(ProcessesIn(tools_.install_folder()).size(), 1u)
      << "the grandchild was not running";
}

TEST_F(RunCommandTest, MissingProgramFailsToStartAndLeavesOutputAlone) {
  const std::wstring cases[] = {
      L"keelhaven-no-such-program.exe --flag",
      L"\"C:\\windows\\keelhaven-no-such-program.exe\" show Keelhaven",
  };
  for (const std::wstring& command : cases) {
    SCOPED_TRACE(WideToUtf8(command));
    const Outcome run = RunAndRecord(command, 10000, "untouched");
    EXPECT_EQ(run.result, kRunFailedToStart);
    EXPECT_EQ(run.output, "untouched");
    EXPECT_EQ(run.log, Line("Running: " + WideToUtf8(command)) +
                           Line("ERROR: CreateProcess failed (error: 2)"));
  }
}

TEST_F(RunCommandTest, LogFilterChangesOnlyTheLoggedOutput) {
  int calls = 0;
  const OutputLogFilter filter = [&calls](const std::string& output) {
    ++calls;
    return "<" + std::to_string(output.size()) + " bytes hidden>";
  };
  const std::wstring command = Child("stdout=610062000063 exit=0");
  const Outcome run = RunAndRecord(command, 10000, "", filter);
  EXPECT_EQ(run.output, std::string("a\0b\0\0c", 6));
  EXPECT_EQ(run.log, RunLog(command, "0", "<6 bytes hidden>"));
  EXPECT_EQ(calls, 1);

  // No output: no output line, and nothing to filter.
  const Outcome silent = RunAndRecord(Child("exit=0"), 10000, "x", filter);
  EXPECT_EQ(silent.output, "");
  EXPECT_EQ(silent.log.find("Process output: "), std::string::npos);
  EXPECT_EQ(calls, 1);
}

// The program given by name starts whatever the command line's first field
// says; the child sees only the environment and folder given.
TEST_F(RunCommandTest, StartsTheGivenProgramWithTheGivenEnvironmentAndFolder) {
  const ScopedEnvironmentVariable mine(L"KEELHAVEN_USER_SETTING", L"x");
  const ScopedEnvironmentVariable temp(L"TEMP", L"C:\\Users\\someone\\Temp");
  const std::wstring system = SystemFolder();
  ASSERT_FALSE(system.empty());
  RunOptions options;
  options.application_name = system + L"\\cmd.exe";
  options.environment = SystemEnvironment();
  options.current_folder = system;
  std::string output;
  LogCapture quiet;
  ASSERT_EQ(
      RunCommand(L"\"no-such-shell.exe\" /c cd & set", &output, 10000, options),
      0);
  EXPECT_EQ(output.rfind(WideToUtf8(system) + "\r\n", 0), 0u) << output;
  EXPECT_EQ(output.find("KEELHAVEN_USER_SETTING"), std::string::npos);
  EXPECT_EQ(output.find("someone"), std::string::npos);
  for (const std::wstring& variable : SystemEnvironment()) {
    EXPECT_NE(output.find(WideToUtf8(variable) + "\r\n"), std::string::npos)
        << WideToUtf8(variable);
  }
}

TEST_F(RunCommandTest, RunsWithoutCaptureWhenNoOutputIsWanted) {
  const std::wstring command = Child("stdout=41 exit=3");
  LogCapture capture;
  const int32_t result = RunCommand(command, nullptr, 10000);
  EXPECT_EQ(result, 3);
  EXPECT_EQ(capture.Finish(), RunLog(command, "3", ""));
}

TEST_F(RunCommandTest, LeavesNoHandleBehind) {
  // Warm up: the first runs may make lasting objects of the system's own.
  std::string output;
  const std::wstring child = Child("exit=0");
  const std::wstring missing = L"keelhaven-no-such-program.exe";
  LogCapture capture;
  RunCommand(child, &output, 10000);
  RunCommand(child, nullptr, 10000);
  RunCommand(missing, &output, 10000);

  const std::ptrdiff_t before = CountOwnHandles();
  ASSERT_GT(before, 0);
  Child("stdout=41 stderr=42 bytes=10000 exit=0");
  for (int i = 0; i < 100; ++i) {
    RunCommand(child, &output, 10000);
    RunCommand(missing, &output, 10000);
  }
  Child("exit=0");
  for (int i = 0; i < 50; ++i) RunCommand(child, nullptr, 10000);
  Child("stdout=41 hang=1");
  for (int i = 0; i < 3; ++i) RunCommand(child, &output, 200);
  EXPECT_EQ(CountOwnHandles(), before);
}

}  // namespace
