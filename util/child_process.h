// Starting one child process of the command runner inside a job object of
// its own, so that the child and everything it starts can be ended
// together.
#ifndef KEELHAVEN_UTIL_CHILD_PROCESS_H_
#define KEELHAVEN_UTIL_CHILD_PROCESS_H_

#include <string>
#include <vector>

#include "util/unique_handle.h"
#include "util/windows_include.h"

class ChildProcess {
 public:
  // Starts `command_line` without a console window. `output` (may be null)
  // becomes the child's standard output and standard error and is the only
  // handle it inherits; it must be inheritable. The child gets no standard
  // input. It runs in a new job, assigned before it runs its first
  // instruction. A non-empty `application_name` is the program file
  // started (nothing looked up), `environment` ("NAME=value" each) the
  // child's whole environment, `current_folder` its current folder; empty
  // ones leave Windows' defaults (the command line's first field searched
  // for, this process's environment and folder). Gives ERROR_SUCCESS, or
  // the Windows error of the step that failed; on a failure no child is
  // left behind, suspended or running.
  DWORD Start(const std::wstring& command_line, HANDLE output,
              const std::wstring& application_name = std::wstring(),
              const std::vector<std::wstring>& environment = {},
              const std::wstring& current_folder = std::wstring());

  HANDLE process() const { return process_.get(); }

  // Ends the child and every process in its job with `exit_code`. Doesn't
  // wait for them to go.
  void TerminateTree(UINT exit_code);

 private:
  UniqueKernelHandle job_;
  UniqueKernelHandle process_;
  UniqueKernelHandle thread_;
};

#endif  // KEELHAVEN_UTIL_CHILD_PROCESS_H_
