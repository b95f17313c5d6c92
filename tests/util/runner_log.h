// The native log lines the command runner writes for a run, as its tests
// and the tests of the tunnel's tool runs expect them.
#ifndef KEELHAVEN_TESTS_UTIL_RUNNER_LOG_H_
#define KEELHAVEN_TESTS_UTIL_RUNNER_LOG_H_

#include <string>

#include "tests/support/text.h"
#include "util/native_log.h"

// The log of a command run that started: the command line, `warning`
// (whole lines, may be empty), the exit code and the output, when any.
inline std::string RunLog(const std::wstring& command_line,
                          const std::string& code, const std::string& output,
                          const std::string& warning = "") {
  return Line("Running: " + WideToUtf8(command_line)) + warning +
         Line("Process exited with code: " + code) +
         (output.empty() ? "" : Line("Process output: " + output));
}

#endif  // KEELHAVEN_TESTS_UTIL_RUNNER_LOG_H_
