// Runs a program as a child process with its standard output and standard
// error on two pipes, as the host runs the WireGuard tools, and reports
// what a caller of such a runner can observe.
#ifndef KEELHAVEN_TESTS_STANDINS_CHILD_PROCESS_H_
#define KEELHAVEN_TESTS_STANDINS_CHILD_PROCESS_H_

#include <cstdint>
#include <string>

struct ChildRun {
  bool started = false;
  bool timed_out = false;  // still running at the deadline; terminated
  uint32_t exit_code = 0;
  std::string out;
  std::string err;
  // Both pipes had lost every writer while the child was still running.
  bool output_closed_before_exit = false;
  // A pipe still had a writer right after the child had exited.
  bool output_open_after_exit = false;
  // Both pipes had lost every writer when the run ended.
  bool output_ended = false;
};

// Runs `"<program>" <arguments>` without a console, reading both pipes while
// it runs (never blocking on a read), until the child has exited and both
// pipes have ended, or `timeout_ms` has passed; a child still running then
// is terminated. Inherits this process's environment.
ChildRun RunChild(const std::wstring& program, const std::wstring& arguments,
                  uint32_t timeout_ms);

#endif  // KEELHAVEN_TESTS_STANDINS_CHILD_PROCESS_H_
