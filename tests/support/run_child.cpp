#include "tests/support/run_child.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "util/unique_handle.h"
#include "util/windows_include.h"
// After windows.h:
#include <tlhelp32.h>

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

// Drains both pipes until the child has exited and they have ended, or
// until the deadline; terminates a child still running then.
void Watch(HANDLE process, const ChildOptions& options, Pipe* out, Pipe* err,
           ChildRun* run) {
  const ULONGLONG deadline = ::GetTickCount64() + options.timeout_ms;
  bool exited = false;
  for (;;) {
    Drain(out, &run->out);
    Drain(err, &run->err);
    // Checked after draining: pipes found ended while the child still runs
    // were closed before its exit.
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    if (running && !out->open && !err->open) {
      run->output_closed_before_exit = true;
    }
    if (!running && !exited) {
      exited = true;
      Drain(out, &run->out);
      Drain(err, &run->err);
      run->output_open_after_exit = out->open || err->open;
    }
    if (exited &&
        (!options.wait_for_output_end || (!out->open && !err->open))) {
      break;
    }
    if (::GetTickCount64() >= deadline) {
      if (!exited) {
        ::TerminateProcess(process, 1);
        ::WaitForSingleObject(process, 5000);
        run->timed_out = true;
      }
      Drain(out, &run->out);
      Drain(err, &run->err);
      break;
    }
    ::Sleep(2);
  }
  run->output_ended = !out->open && !err->open;
}

}  // namespace

ChildRun RunChild(const std::wstring& program, const std::wstring& arguments,
                  const ChildOptions& options) {
  ChildRun run;
  Pipe out;
  Pipe err;
  if (!CreateChildPipe(&out) || !CreateChildPipe(&err)) return run;

  std::wstring command_line = L"\"" + program + L"\"";
  if (!arguments.empty()) command_line += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  if (options.standard_handles) {
    startup.hStdOutput = out.write.get();
    startup.hStdError = err.write.get();
  }
  PROCESS_INFORMATION info{};
  // No console at all: under Wine, CREATE_NO_WINDOW starts a console host
  // for the child that inherits the pipes and holds them past the child's
  // exit, which would hide what the child itself does with its output.
  const auto start = [&] {
    return ::CreateProcessW(
        program.c_str(), &command_line[0], nullptr, nullptr,
        options.standard_handles, DETACHED_PROCESS, nullptr,
        options.folder.empty() ? nullptr : options.folder.c_str(), &startup,
        &info);
  };
  // Seen once under a loaded Wine: a start refused in the middle of a run of
  // good ones. One more try keeps these tests about the child, not Wine.
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
  const UniqueKernelHandle process(info.hProcess);
  const UniqueKernelHandle thread(info.hThread);
  // Only the child may hold the write ends, or the pipes never end.
  out.write.reset();
  err.write.reset();

  std::thread watcher;
  if (options.while_running) {
    watcher = std::thread(options.while_running, info.dwProcessId);
  }
  Watch(process.get(), options, &out, &err, &run);
  if (watcher.joinable()) watcher.join();
  DWORD code = 0;
  ::GetExitCodeProcess(process.get(), &code);
  run.exit_code = code;
  return run;
}

std::vector<unsigned long> ProcessesIn(const std::wstring& folder) {
  std::vector<unsigned long> ids;
  const UniqueFileHandle snapshot(
      ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  const std::wstring prefix = folder + L"\\";
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    const UniqueKernelHandle process(::OpenProcess(
        PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    wchar_t image[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    if (process &&
        ::QueryFullProcessImageNameW(process.get(), 0, image, &size) &&
        _wcsnicmp(image, prefix.c_str(), prefix.size()) == 0) {
      ids.push_back(entry.th32ProcessID);
    }
  }
  return ids;
}

size_t EndProcessesIn(const std::wstring& folder) {
  const std::vector<unsigned long> ids = ProcessesIn(folder);
  for (const unsigned long id : ids) {
    const UniqueKernelHandle process(
        ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (process && ::TerminateProcess(process.get(), 1)) {
      ::WaitForSingleObject(process.get(), 5000);
    }
  }
  return ids.size();
}
