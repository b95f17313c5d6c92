#include "child_process.h"

#include <algorithm>
#include <cstdio>

#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

struct Pipe {
  UniqueKernelHandle read;
  UniqueKernelHandle write;  // inheritable, for the child
  bool open = true;
};

bool CreateChildPipe(Pipe* pipe) {
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!::CreatePipe(&read, &write, &inheritable, 0)) return false;
  pipe->read.reset(read);
  pipe->write.reset(write);
  return ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0) != FALSE;
}

// Appends what the pipe holds now; marks it closed once no writer is left.
void Drain(Pipe* pipe, std::string* sink) {
  while (pipe->open) {
    DWORD available = 0;
    if (!::PeekNamedPipe(pipe->read.get(), nullptr, 0, nullptr, &available,
                         nullptr)) {
      pipe->open = false;  // broken: every writer is gone
      return;
    }
    if (available == 0) return;
    char buffer[4096];
    DWORD read = 0;
    const DWORD wanted =
        std::min<DWORD>(available, static_cast<DWORD>(sizeof(buffer)));
    if (!::ReadFile(pipe->read.get(), buffer, wanted, &read, nullptr)) {
      pipe->open = false;
      return;
    }
    sink->append(buffer, read);
  }
}

}  // namespace

ChildRun RunChild(const std::wstring& program, const std::wstring& arguments,
                  uint32_t timeout_ms) {
  ChildRun run;
  Pipe out;
  Pipe err;
  if (!CreateChildPipe(&out) || !CreateChildPipe(&err)) return run;

  std::wstring command_line = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out.write.get();
  startup.hStdError = err.write.get();
  PROCESS_INFORMATION info{};
  // No console at all: under Wine, CREATE_NO_WINDOW starts a console host
  // for the child that inherits the pipes and holds them past the child's
  // exit, which would hide what the tool itself does with its output.
  const auto start = [&] {
    return ::CreateProcessW(program.c_str(), &command_line[0], nullptr, nullptr,
                            TRUE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                            &info);
  };
  // Seen once under a loaded Wine: a start refused in the middle of a run of
  // good ones. One more try keeps these tests about the tools, not Wine.
  BOOL started = start();
  if (!started) {
    ::Sleep(200);
    started = start();
  }
  if (!started) {
    // Said here, so a failed start shows why in the test's output.
    std::fprintf(stderr, "CreateProcessW failed (error %lu): %ls\n",
                 ::GetLastError(), command_line.c_str());
    return run;
  }
  run.started = true;
  UniqueKernelHandle process(info.hProcess);
  UniqueKernelHandle thread(info.hThread);
  // Only the child may hold the write ends, or the pipes never end.
  out.write.reset();
  err.write.reset();

  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  bool exited = false;
  for (;;) {
    Drain(&out, &run.out);
    Drain(&err, &run.err);
    // Checked after draining: pipes found ended while the child still runs
    // were closed before its exit.
    const bool running =
        ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
    if (running && !out.open && !err.open) run.output_closed_before_exit = true;
    if (!running && !exited) {
      exited = true;
      Drain(&out, &run.out);
      Drain(&err, &run.err);
      run.output_open_after_exit = out.open || err.open;
    }
    if (exited && !out.open && !err.open) break;
    if (::GetTickCount64() >= deadline) {
      if (!exited) {
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), 5000);
        run.timed_out = true;
      }
      Drain(&out, &run.out);
      Drain(&err, &run.err);
      break;
    }
    ::Sleep(2);
  }
  run.output_ended = !out.open && !err.open;
  DWORD code = 0;
  ::GetExitCodeProcess(process.get(), &code);
  run.exit_code = code;
  return run;
}
