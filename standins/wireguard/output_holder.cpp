#include "standins/wireguard/output_holder.h"

#include <cwchar>
#include <string>

#include "standins/common/text.h"
#include "standins/wireguard/fault_plan.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

// Empty when it can't be had, or is longer than the longest Windows path.
std::wstring OwnPath() {
  std::wstring path(32768, L'\0');
  const DWORD length =
      ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
  path.resize(length < path.size() ? length : 0);
  return path;
}

// An inheritable duplicate of one of this process's handles, or none.
UniqueKernelHandle InheritableCopy(HANDLE source, DWORD access, DWORD options) {
  UniqueKernelHandle copy;
  const HANDLE self = ::GetCurrentProcess();
  if (!::DuplicateHandle(self, source, self, copy.put(), access, TRUE,
                         options)) {
    copy.release();  // DuplicateHandle leaves nothing to close on failure
  }
  return copy;
}

// The standard handle `which` as an inheritable duplicate, or none when
// this process has none.
UniqueKernelHandle InheritableStdHandle(DWORD which) {
  const HANDLE handle = ::GetStdHandle(which);
  // Checked here, not in InheritableCopy: the pseudo-handle of the current
  // process has the same value as INVALID_HANDLE_VALUE.
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    return UniqueKernelHandle();
  }
  return InheritableCopy(handle, 0, DUPLICATE_SAME_ACCESS);
}

// Digits only; the holder is started by this program, never by a user.
bool ParseNumber(const wchar_t* text, int64_t max, int64_t* value) {
  std::string narrow;
  for (const wchar_t* c = text; *c != L'\0'; ++c) {
    if (*c < L'0' || *c > L'9' || narrow.size() > 20) return false;
    narrow.push_back(static_cast<char>(*c));
  }
  return ParseInteger(narrow, 0, max, value);
}

}  // namespace

bool StartOutputHolder(uint32_t hold_ms) {
  const std::wstring program = OwnPath();
  if (program.empty()) return false;
  UniqueKernelHandle parent =
      InheritableCopy(::GetCurrentProcess(), SYNCHRONIZE, 0);
  UniqueKernelHandle output = InheritableStdHandle(STD_OUTPUT_HANDLE);
  UniqueKernelHandle error = InheritableStdHandle(STD_ERROR_HANDLE);
  if (!parent) return false;

  std::wstring command_line =
      L"\"" + program + L"\" " + kHoldOutputSwitch + L" " +
      std::to_wstring(hold_ms) + L" " +
      std::to_wstring(reinterpret_cast<uintptr_t>(parent.get()));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output.get();
  startup.hStdError = error.get();
  PROCESS_INFORMATION info{};
  // Without a console: under Wine a console host started for the copy would
  // inherit the handles too and hold them past the copy's own exit.
  if (!::CreateProcessW(program.c_str(), &command_line[0], nullptr, nullptr,
                        TRUE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                        &info)) {
    return false;
  }
  UniqueKernelHandle process(info.hProcess);
  UniqueKernelHandle thread(info.hThread);
  return true;
}

bool IsOutputHolderCall(int argc, wchar_t** argv) {
  return argc >= 2 && std::wcscmp(argv[1], kHoldOutputSwitch) == 0;
}

int RunOutputHolder(int argc, wchar_t** argv) {
  int64_t hold_ms = 0;
  int64_t parent_value = 0;
  if (argc != 4 || !ParseNumber(argv[2], kMaxFaultMilliseconds, &hold_ms) ||
      !ParseNumber(argv[3], INT64_MAX, &parent_value)) {
    return 1;
  }
  // The handle value was inherited from the tool, so it is valid here.
  UniqueKernelHandle parent(
      reinterpret_cast<HANDLE>(static_cast<uintptr_t>(parent_value)));
  ::WaitForSingleObject(parent.get(),
                        static_cast<DWORD>(kMaxFaultMilliseconds));
  ::Sleep(static_cast<DWORD>(hold_ms));
  return 0;
}
