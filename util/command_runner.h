// Runs one external command with captured output and a time limit.
#ifndef KEELHAVEN_UTIL_COMMAND_RUNNER_H_
#define KEELHAVEN_UTIL_COMMAND_RUNNER_H_

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Turns captured output into the text that the log shows of it (for output
// that holds a secret). The caller's captured string is never changed by it.
using OutputLogFilter = std::function<std::string(const std::string& output)>;

// How a command is run besides its command line. A filter alone converts.
struct RunOptions {
  RunOptions() = default;
  RunOptions(OutputLogFilter filter)  // NOLINT: implicit by design
      : log_filter(std::move(filter)) {}

  // Turns the output into the "Process output: " line; none: as captured.
  OutputLogFilter log_filter;
  // The program file to start, given to CreateProcessW as the application
  // name, so Windows looks nothing up; empty: the command line's first
  // field, looked up by Windows.
  std::wstring application_name;
  // The child's whole environment, "NAME=value" each; empty: this
  // process's.
  std::vector<std::wstring> environment;
  // The child's current folder; empty: this process's.
  std::wstring current_folder;
};

// Result values besides the child's own exit code.
constexpr int32_t kRunFailedToStart = -1;
constexpr int32_t kRunTimedOut = -2;

// Starts `command_line` (program path quoted by the caller) without a
// console window, gathers its standard output and standard error into
// `output` (every byte, NULs included, in pipe order, up to 4 MiB: past
// that the rest is read and dropped and the output ends at its last line
// break, with a "WARNING: " line; left untouched when capture is not
// possible or the program can't start; may be null), and
// waits at most `timeout_ms` for the whole run, output included. The child
// inherits the output pipe's write end and no other handle, and runs in a
// job object of its own. Gives the child's exit code, kRunFailedToStart
// (also when the child can't be confined that way), or kRunTimedOut (the
// child and every process it started are then terminated with exit code 1,
// and `output` holds what the child wrote before). The run ends with the
// child: a grandchild that inherited the output and lives on doesn't hold
// it, and is left running. Logs every step through NativeLog; the
// "Process output: " line shows log_filter(output) when a filter is set.
int32_t RunCommand(const std::wstring& command_line, std::string* output,
                   uint32_t timeout_ms,
                   const RunOptions& options = RunOptions());

#endif  // KEELHAVEN_UTIL_COMMAND_RUNNER_H_
