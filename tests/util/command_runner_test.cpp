#include "util/command_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/handle_count.h"
#include "tests/support/log_capture.h"
#include "tests/support/standin_wireguard.h"
#include "tests/util/test_child.h"
#include "util/native_log.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"
// After windows.h:
#include <tlhelp32.h>

namespace {

constexpr char kEmDash[] = "\xE2\x80\x94";

struct Outcome {
  int32_t result = 0;
  std::string output;
  std::string log;
  ULONGLONG elapsed_ms = 0;
};

Outcome RunAndRecord(const std::wstring& command_line, uint32_t timeout_ms,
                     std::string initial_output = "stale",
                     const OutputLogFilter& filter = OutputLogFilter()) {
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

std::string RunningLine(const std::wstring& command_line) {
  return Line("Running: " + WideToUtf8(command_line));
}

// Ends a grandchild that a child left behind, named by its output.
void TerminateByPid(DWORD pid) {
  UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, pid));
  ASSERT_TRUE(process) << "grandchild " << pid << " already gone";
  ::TerminateProcess(process.get(), 0);
}

TEST(RunCommandTest, SilentChildEmptiesOutputAndLogsNoOutputLine) {
  const std::wstring command = TestChildCommand(L"silent");
  const Outcome run = RunAndRecord(command, 10000, "left from before");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.log,
            RunningLine(command) + Line("Process exited with code: 0"));
}

TEST(RunCommandTest, CapturesBothStreamsInPipeOrder) {
  const std::wstring command = TestChildCommand(L"mixed");
  const Outcome run = RunAndRecord(command, 10000);
  const std::string expected = PatternBytes(10000) + "ERR-1\ntail\n";
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.output, expected);
  EXPECT_EQ(run.log, RunningLine(command) +
                         Line("Process exited with code: 0") +
                         Line("Process output: " + expected));
}

// Around one read's size, and far more than the pipe holds: the child must
// never block on the pipe, and what it wrote just before its exit is still
// read after the exit has been seen.
TEST(RunCommandTest, CapturesLargeOutputWhole) {
  for (const size_t size : {65536u, 65537u, 300000u, 3145728u}) {
    SCOPED_TRACE(size);
    const Outcome run =
        RunAndRecord(TestChildCommand(L"big:" + std::to_wstring(size)), 20000);
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(run.output.size(), size);
    EXPECT_TRUE(run.output == PatternBytes(size));
  }
}

TEST(RunCommandTest, GivesTheChildsExitCodePrintedUnsigned) {
  struct Case {
    const wchar_t* code;
    int32_t result;
    const char* printed;
  };
  const Case cases[] = {
      {L"1", 1, "1"},
      {L"42", 42, "42"},
      {L"4294967291", -5, "4294967291"},
      {L"3221225477", static_cast<int32_t>(0xC0000005u), "3221225477"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.code));
    const std::wstring command =
        TestChildCommand(std::wstring(L"exit:") + c.code);
    const Outcome run = RunAndRecord(command, 10000);
    EXPECT_EQ(run.result, c.result);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.log,
              RunningLine(command) +
                  Line(std::string("Process exited with code: ") + c.printed));
  }
}

TEST(RunCommandTest, KeepsNulBytes) {
  const Outcome run = RunAndRecord(TestChildCommand(L"nul"), 10000);
  const std::string expected("a\0b\0\0c", 6);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.output, expected);
  EXPECT_NE(run.log.find(Line("Process output: " + expected)),
            std::string::npos);
}

// Both kinds of child that outlive the limit: one that closed its output
// (the pipe reports its end, only the exit is missing) and one that keeps
// its output open and never exits (the pipe never ends). Both give what they
// wrote before the limit and are terminated at the limit; the second has a
// read in flight at the deadline, cancelled before the run returns.
TEST(RunCommandTest, TerminatesAChildThatRunsPastTheLimit) {
  struct Case {
    const wchar_t* mode;
    const char* output;
  };
  const Case cases[] = {
      {L"close_then_sleep", "before close\n"},
      {L"hang", "still here\n"},
  };
  constexpr uint32_t kLimit = 1500;
  for (const Case& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.mode));
    const std::wstring command = TestChildCommand(c.mode);
    const Outcome run = RunAndRecord(command, kLimit);
    EXPECT_EQ(run.result, kRunTimedOut);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.log,
              RunningLine(command) +
                  Line(std::string("WARNING: Process timed out after 1500ms ") +
                       kEmDash + " terminating") +
                  Line("Process exited with code: 4294967294") +
                  Line(std::string("Process output: ") + c.output));
    EXPECT_GE(run.elapsed_ms, kLimit - 100);
    EXPECT_LT(run.elapsed_ms, kLimit + 3000);
  }
}

// A grandchild that inherited the pipe and outlives the child must not hold
// the run: the child's exit ends it with the child's code and output.
TEST(RunCommandTest, ReturnsWhenTheChildExitsThoughAGrandchildHoldsThePipe) {
  constexpr uint32_t kLimit = 20000;
  const std::wstring command = TestChildCommand(L"grandchild");
  const Outcome run = RunAndRecord(command, kLimit);
  const DWORD grandchild_pid = static_cast<DWORD>(std::strtoul(
      run.output.c_str() + sizeof("grandchild=") - 1, nullptr, 10));
  ASSERT_NE(grandchild_pid, 0u) << run.output;
  TerminateByPid(grandchild_pid);

  EXPECT_EQ(run.result, 7);
  EXPECT_EQ(run.output, "grandchild=" + std::to_string(grandchild_pid) + "\n");
  EXPECT_EQ(run.log, RunningLine(command) +
                         Line("Process exited with code: 7") +
                         Line("Process output: " + run.output));
  EXPECT_LT(run.elapsed_ms, kLimit / 2);
}

// Processes whose program lies in `folder`.
int CountProcessesIn(const std::wstring& folder) {
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION,
                                             FALSE, entry.th32ProcessID));
    wchar_t image[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    if (process &&
        ::QueryFullProcessImageNameW(process.get(), 0, image, &size) &&
        _wcsnicmp(image, folder.c_str(), folder.size()) == 0) {
      ++count;
    }
  }
  return count;
}

// The time limit ends the child and what it started: the stand-in starts a
// copy of itself that holds the pipe, then hangs.
TEST(RunCommandTest, TimeOutEndsTheChildAndItsChildren) {
  StandinWireGuard tools;
  tools.SetFaults("show stdout=41 grandchild_ms=60000 hang=1\n");
  const std::wstring command =
      L"\"" + tools.install_folder() + L"\\wg.exe\" show Keelhaven";
  const Outcome run = RunAndRecord(command, 1500);
  EXPECT_EQ(run.result, kRunTimedOut);
  EXPECT_EQ(run.output, "A");
  EXPECT_LT(run.elapsed_ms, 1500u + 3000u);
  // Termination takes effect shortly after the call.
  int left = 0;
  for (int i = 0; i < 40; ++i) {
    left = CountProcessesIn(tools.install_folder() + L"\\");
    if (left == 0) break;
    ::Sleep(50);
  }
  EXPECT_EQ(left, 0);
}

TEST(RunCommandTest, MissingProgramFailsToStartAndLeavesOutputAlone) {
  const std::wstring cases[] = {
      L"keelhaven-no-such-program.exe --flag",
      L"\"C:\\windows\\keelhaven-no-such-program.exe\" show Keelhaven",
  };
  for (const std::wstring& command : cases) {
    SCOPED_TRACE(WideToUtf8(command));
    const Outcome run = RunAndRecord(command, 10000, "untouched");
    EXPECT_EQ(run.result, kRunFailedToStart);
    EXPECT_EQ(run.output, "untouched");
    EXPECT_EQ(run.log, RunningLine(command) +
                           Line("ERROR: CreateProcess failed (error: 2)"));
  }
}

TEST(RunCommandTest, LogFilterChangesOnlyTheLoggedOutput) {
  int calls = 0;
  const OutputLogFilter filter = [&calls](const std::string& output) {
    ++calls;
    return "<" + std::to_string(output.size()) + " bytes hidden>";
  };
  const std::wstring command = TestChildCommand(L"nul");
  const Outcome run = RunAndRecord(command, 10000, "", filter);
  EXPECT_EQ(run.output, std::string("a\0b\0\0c", 6));
  EXPECT_EQ(run.log, RunningLine(command) +
                         Line("Process exited with code: 0") +
                         Line("Process output: <6 bytes hidden>"));
  EXPECT_EQ(calls, 1);

  // No output: no output line, and nothing to filter.
  const Outcome silent =
      RunAndRecord(TestChildCommand(L"silent"), 10000, "x", filter);
  EXPECT_EQ(silent.output, "");
  EXPECT_EQ(silent.log.find("Process output: "), std::string::npos);
  EXPECT_EQ(calls, 1);
}

TEST(RunCommandTest, RunsWithoutCaptureWhenNoOutputIsWanted) {
  const std::wstring command = TestChildCommand(L"exit:3");
  LogCapture capture;
  const int32_t result = RunCommand(command, nullptr, 10000);
  EXPECT_EQ(result, 3);
  EXPECT_EQ(capture.Finish(),
            RunningLine(command) + Line("Process exited with code: 3"));
}

TEST(RunCommandTest, LeavesNoHandleBehind) {
  // Warm up: the first runs may make lasting objects of the system's own.
  std::string output;
  const std::wstring silent = TestChildCommand(L"silent");
  const std::wstring missing = L"keelhaven-no-such-program.exe";
  LogCapture capture;
  RunCommand(silent, &output, 10000);
  RunCommand(silent, nullptr, 10000);
  RunCommand(missing, &output, 10000);

  const std::ptrdiff_t before = CountOwnHandles();
  ASSERT_GT(before, 0);
  for (int i = 0; i < 100; ++i) {
    RunCommand(TestChildCommand(L"mixed"), &output, 10000);
    RunCommand(missing, &output, 10000);
  }
  for (int i = 0; i < 50; ++i) RunCommand(silent, nullptr, 10000);
  for (int i = 0; i < 3; ++i)
    RunCommand(TestChildCommand(L"hang"), &output, 200);
  EXPECT_EQ(CountOwnHandles(), before);
}

}  // namespace
