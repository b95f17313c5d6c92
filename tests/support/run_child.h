// Runs a program as a child process with its standard output and standard
// error on two pipes, and reports what a caller can observe: exit code,
// output, and when the pipes ended. Serves the stand-in tools' tests, the
// runs of keelhaven.exe and the benchmarks.
#ifndef KEELHAVEN_TESTS_SUPPORT_RUN_CHILD_H_
#define KEELHAVEN_TESTS_SUPPORT_RUN_CHILD_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ChildOptions {
  uint32_t timeout_ms = 30000;
  // The child's current folder; empty: this process's.
  std::wstring folder;
  // Called on a thread of its own once the child has started, with its
  // process id, while the pipes are drained; the run ends no sooner than it
  // returns.
  std::function<void(unsigned long process_id)> while_running;
  // False: the run ends with the child's exit, though another process
  // still holds the pipes (under Wine, the desktop process that the first
  // window of a session starts inherits them).
  bool wait_for_output_end = true;
  // False: the child gets no standard handles at all, as a program started
  // from the desktop (the pipes then stay empty).
  bool standard_handles = true;
};

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

// Runs `"<program>" <arguments>` (arguments exactly as given, none when
// empty) without a console, reading both pipes while it runs (never
// blocking on a read), until the child has exited and both pipes have
// ended (or only exited, see wait_for_output_end), or the time limit has
// passed; a child still running then is
// terminated. Inherits this process's environment.
ChildRun RunChild(const std::wstring& program, const std::wstring& arguments,
                  const ChildOptions& options = ChildOptions());

// The ids of the running processes whose program lies in `folder`.
std::vector<unsigned long> ProcessesIn(const std::wstring& folder);
// Terminates them; gives how many there were.
size_t EndProcessesIn(const std::wstring& folder);

#endif  // KEELHAVEN_TESTS_SUPPORT_RUN_CHILD_H_
