#include "util/command_runner.h"

#include <memory>

#include "util/child_process.h"
#include "util/native_log.h"
#include "util/output_pipe.h"
#include "util/windows_include.h"

namespace {

// Waits for the child's exit under the deadline while reading its output
// (when there is a pipe), so neither a full pipe nor a writer that never
// closes it can hold the caller past the limit. Wakes up only when the
// child exits, a read finishes or the time is up. True when the child
// exited within the limit.
bool WaitWhileReading(HANDLE process, OutputPipe* pipe, uint32_t timeout_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  for (;;) {
    if (pipe != nullptr) pipe->Read();
    const HANDLE handles[2] = {process,
                               pipe != nullptr ? pipe->read_event() : nullptr};
    const DWORD count = pipe != nullptr && pipe->reading() ? 2 : 1;
    const ULONGLONG now = ::GetTickCount64();
    const DWORD remaining =
        now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    // The process comes first: when both are set, its exit is seen at once.
    const DWORD wait =
        ::WaitForMultipleObjects(count, handles, FALSE, remaining);
    if (wait == WAIT_OBJECT_0) return true;
    if (wait != WAIT_OBJECT_0 + 1) return false;
    pipe->FinishRead();
    // A writer that never pauses keeps the read event set: the deadline
    // still holds.
    if (remaining == 0) {
      return ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    }
  }
}

// Output cut at the pipe's bound ends at its last line break, so no line
// (a counter, a key) is read half.
void KeepWholeLines(std::string& output, uint64_t dropped) {
  const size_t end = output.rfind('\n');
  const uint64_t cut = dropped + output.size() -
                       (end == std::string::npos ? output.size() : end + 1);
  if (end != std::string::npos) output.resize(end + 1);
  NativeLog("WARNING: Process output over " +
            std::to_string(OutputPipe::kMaxOutputBytes) + " bytes, " +
            std::to_string(cut) + " bytes dropped");
}

}  // namespace

int32_t RunCommand(const std::wstring& command_line, std::string* output,
                   uint32_t timeout_ms, const RunOptions& options) {
  NativeLog("Running: " + WideToUtf8(command_line));

  std::unique_ptr<OutputPipe> pipe;
  if (output != nullptr) {
    pipe = std::make_unique<OutputPipe>();
    if (!pipe->Create()) {
      pipe.reset();
      NativeLog("WARNING: CreatePipe failed, running without output capture");
    }
  }

  ChildProcess child;
  const DWORD start_error = child.Start(
      command_line, pipe ? pipe->child_end() : nullptr,
      options.application_name, options.environment, options.current_folder);
  // From here only the child holds a write end, so the pipe breaks once the
  // child (and whatever inherited the end from it) has closed it.
  if (pipe) pipe->CloseChildEnd();
  if (start_error != ERROR_SUCCESS) {
    NativeLog("ERROR: CreateProcess failed (error: " +
              std::to_string(start_error) + ")");
    return kRunFailedToStart;
  }

  const bool exited = WaitWhileReading(child.process(), pipe.get(), timeout_ms);
  int32_t result = kRunFailedToStart;
  if (exited) {
    DWORD exit_code = 0;
    if (::GetExitCodeProcess(child.process(), &exit_code)) {
      result = static_cast<int32_t>(exit_code);
    }
  } else {
    NativeLog("WARNING: Process timed out after " + std::to_string(timeout_ms) +
              "ms \xE2\x80\x94 terminating");
    // The child and whatever it started: a grandchild left running would
    // hold the pipe and go on with work nobody waits for.
    child.TerminateTree(1);
    result = kRunTimedOut;
  }
  // What the child wrote before it ended is in the pipe now.
  const bool captured = pipe != nullptr;
  if (captured) {
    *output = pipe->TakeRest();
    if (pipe->dropped() > 0) KeepWholeLines(*output, pipe->dropped());
    pipe.reset();
  }

  NativeLog("Process exited with code: " +
            std::to_string(static_cast<uint32_t>(result)));
  // The output may be large: it goes to the log without a copy of its own.
  constexpr char kOutputLabel[] = "Process output: ";
  if (captured && !output->empty()) {
    if (options.log_filter) {
      NativeLog(kOutputLabel, options.log_filter(*output));
    } else {
      NativeLog(kOutputLabel, *output);
    }
  }
  return result;
}
