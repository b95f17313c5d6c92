#include "util/command_runner.h"

#include <algorithm>

#include "util/child_process.h"
#include "util/native_log.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

// Each read asks for at most this much, one byte less than the buffer.
constexpr DWORD kReadChunk = 4095;
// How much is read from the pipe between two checks of the deadline and of
// the child's exit, so a writer that never pauses can't hold the caller.
constexpr DWORD kReadBatch = 16 * kReadChunk;
// Longest pause between two looks at an idle pipe. An anonymous pipe has no
// event to wait on, so the pipe is polled while the process handle is waited
// on; the pause grows from 1 ms while nothing arrives.
constexpr DWORD kMaxIdlePollMs = 8;

enum class PipeState { kData, kEmpty, kClosed };

// Reads up to `limit` bytes of what the pipe holds now, never waiting for
// more. kClosed: every writer is gone (ERROR_BROKEN_PIPE) or the pipe
// failed; collection ends there.
PipeState ReadAvailable(HANDLE pipe, DWORD limit, std::string& collected) {
  DWORD available = 0;
  if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
    return PipeState::kClosed;
  }
  if (available == 0) return PipeState::kEmpty;
  // Only this process reads the pipe, so what the look showed stays there
  // and none of these reads blocks.
  DWORD wanted = std::min(available, limit);
  char buffer[kReadChunk + 1];
  while (wanted > 0) {
    DWORD read = 0;
    if (!::ReadFile(pipe, buffer, std::min(wanted, kReadChunk), &read,
                    nullptr) ||
        read == 0) {
      return PipeState::kClosed;
    }
    // Counted append: NUL bytes in the output are kept.
    collected.append(buffer, read);
    wanted -= read;
  }
  return PipeState::kData;
}

// Reads what the pipe holds at this moment and stops there. Bytes written
// later, by a grandchild that inherited the pipe, are not waited for.
void ReadLeftover(HANDLE pipe, std::string& collected) {
  DWORD available = 0;
  if (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) &&
      available > 0) {
    ReadAvailable(pipe, available, collected);
  }
}

// Waits for the child's exit while draining the pipe (when there is one), so
// neither a full pipe nor a writer that never closes it can hold the caller
// past the limit. True when the child exited within the limit.
bool WaitWhileDraining(HANDLE process, HANDLE pipe, uint32_t timeout_ms,
                       std::string& collected) {
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  bool pipe_open = pipe != nullptr;
  DWORD idle_ms = 0;
  for (;;) {
    const PipeState state = pipe_open
                                ? ReadAvailable(pipe, kReadBatch, collected)
                                : PipeState::kClosed;
    if (state == PipeState::kClosed) pipe_open = false;

    const ULONGLONG now = ::GetTickCount64();
    const DWORD remaining =
        now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    DWORD wait_ms = remaining;
    if (state == PipeState::kData) {
      // More may be waiting: look again at once.
      wait_ms = 0;
      idle_ms = 0;
    } else if (state == PipeState::kEmpty) {
      idle_ms = std::min(std::max<DWORD>(idle_ms * 2, 1), kMaxIdlePollMs);
      wait_ms = std::min(idle_ms, remaining);
    }
    const DWORD wait = ::WaitForSingleObject(process, wait_ms);
    if (wait == WAIT_OBJECT_0) return true;
    if (wait != WAIT_TIMEOUT || remaining == 0) return false;
  }
}

}  // namespace

int32_t RunCommand(const std::wstring& command_line, std::string* output,
                   uint32_t timeout_ms, const OutputLogFilter& log_filter) {
  NativeLog("Running: " + WideToUtf8(command_line));

  UniqueKernelHandle read_end;
  UniqueKernelHandle write_end;
  bool capture = false;
  if (output != nullptr) {
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = TRUE;
    HANDLE read_handle = nullptr;
    HANDLE write_handle = nullptr;
    if (::CreatePipe(&read_handle, &write_handle, &attributes, 0)) {
      read_end.reset(read_handle);
      write_end.reset(write_handle);
      capture = true;
    } else {
      NativeLog("WARNING: CreatePipe failed, running without output capture");
    }
  }

  // Whatever else the run does, the child inherits the write end and
  // nothing more; a read end that could leak into it would keep the pipe
  // alive after we close ours, so a failure to prevent that fails the start.
  ChildProcess child;
  DWORD start_error = ERROR_SUCCESS;
  if (capture &&
      !::SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0)) {
    start_error = ::GetLastError();
  } else {
    start_error =
        child.Start(command_line, capture ? write_end.get() : nullptr);
  }
  // From here only the child holds a write end, so the pipe breaks once the
  // child (and whatever inherited the end from it) has closed it.
  write_end.reset();
  if (start_error != ERROR_SUCCESS) {
    NativeLog("ERROR: CreateProcess failed (error: " +
              std::to_string(start_error) + ")");
    return kRunFailedToStart;
  }

  std::string collected;
  const bool exited =
      WaitWhileDraining(child.process(), read_end.get(), timeout_ms, collected);

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
  if (read_end) ReadLeftover(read_end.get(), collected);
  read_end.reset();

  if (capture) *output = std::move(collected);
  const std::string& raw = capture ? *output : collected;
  NativeLog("Process exited with code: " +
            std::to_string(static_cast<uint32_t>(result)));
  if (!raw.empty()) {
    NativeLog("Process output: " + (log_filter ? log_filter(raw) : raw));
  }
  return result;
}
