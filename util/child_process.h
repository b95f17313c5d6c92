// Starting one child process of the command runner inside a job object of
// its own, so that the child and everything it starts can be ended
// together.
#ifndef KEELHAVEN_UTIL_CHILD_PROCESS_H_
#define KEELHAVEN_UTIL_CHILD_PROCESS_H_

#include <string>

#include "util/unique_handle.h"
#include "util/windows_include.h"

class ChildProcess {
 public:
  // Starts `command_line` without a console window. `output` (may be null)
  // becomes the child's standard output and standard error and is the only
  // handle it inherits; it must be inheritable. The child gets no standard
  // input. It runs in a new job, assigned before it runs its first
  // instruction. Gives ERROR_SUCCESS, or the Windows error of the step that
  // failed; on a failure no child is left behind, suspended or running.
  DWORD Start(const std::wstring& command_line, HANDLE output);

  HANDLE process() const { return process_.get(); }

  // Ends the child and every process in its job with `exit_code`, and
  // waits (at most about a second) until the child has ended.
  void TerminateTree(UINT exit_code);

 private:
  UniqueKernelHandle job_;
  UniqueKernelHandle process_;
  UniqueKernelHandle thread_;
};

#endif  // KEELHAVEN_UTIL_CHILD_PROCESS_H_
