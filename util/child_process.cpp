#include "util/child_process.h"

#include <memory>
#include <vector>

namespace {

// How long TerminateTree waits for the child to be gone.
constexpr DWORD kTerminateWaitMs = 1000;

// A process-and-thread attribute list naming the only handle that a child
// inherits. Windows otherwise hands the child every inheritable handle of
// this process, so a handle made inheritable for another purpose would leak
// into it.
class InheritList {
 public:
  DWORD Init(HANDLE* handle) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_ = std::make_unique<char[]>(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.get());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) {
      return ::GetLastError();
    }
    list_ = list;
    if (!::UpdateProcThreadAttribute(list_, 0,
                                     PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handle,
                                     sizeof(*handle), nullptr, nullptr)) {
      return ::GetLastError();
    }
    return ERROR_SUCCESS;
  }
  ~InheritList() {
    if (list_ != nullptr) ::DeleteProcThreadAttributeList(list_);
  }
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

 private:
  std::unique_ptr<char[]> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

}  // namespace

DWORD ChildProcess::Start(const std::wstring& command_line, HANDLE output) {
  job_.reset(::CreateJobObjectW(nullptr, nullptr));
  if (!job_) return ::GetLastError();

  STARTUPINFOEXW startup = {};
  startup.StartupInfo.cb = sizeof(STARTUPINFOW);
  DWORD flags = CREATE_NO_WINDOW | CREATE_SUSPENDED;
  InheritList inherit;
  // The attribute list holds a pointer to this variable until the start.
  HANDLE inherited = output;
  if (output != nullptr) {
    const DWORD error = inherit.Init(&inherited);
    if (error != ERROR_SUCCESS) return error;
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = nullptr;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = output;
    startup.lpAttributeList = inherit.get();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }

  // CreateProcessW may write into the command line.
  std::vector<wchar_t> writable(command_line.begin(), command_line.end());
  writable.push_back(L'\0');
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, writable.data(), nullptr, nullptr,
                        output != nullptr ? TRUE : FALSE, flags, nullptr,
                        nullptr, &startup.StartupInfo, &info)) {
    return ::GetLastError();
  }
  process_.reset(info.hProcess);
  thread_.reset(info.hThread);

  // Suspended until it is in the job, so nothing it starts can escape it.
  if (!::AssignProcessToJobObject(job_.get(), process_.get())) {
    const DWORD error = ::GetLastError();
    ::TerminateProcess(process_.get(), 1);
    return error;
  }
  if (::ResumeThread(thread_.get()) == static_cast<DWORD>(-1)) {
    const DWORD error = ::GetLastError();
    ::TerminateJobObject(job_.get(), 1);
    return error;
  }
  return ERROR_SUCCESS;
}

void ChildProcess::TerminateTree(UINT exit_code) {
  if (!::TerminateJobObject(job_.get(), exit_code)) {
    ::TerminateProcess(process_.get(), exit_code);
  }
  // Termination only starts here: a command run next (an uninstall after a
  // timed-out install) must not meet a child still on its way out.
  ::WaitForSingleObject(process_.get(), kTerminateWaitMs);
}
