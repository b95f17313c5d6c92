#include "tests/support/wine.h"

#include <functional>
#include <string>

#include "util/unique_handle.h"
#include "util/windows_include.h"

const char kNotUnderWine[] =
    "not under Wine: this test changes folders of the machine it runs on "
    "(or relies on Wine's file security) and runs only in a Wine prefix";

namespace {

// The Unix path Wine maps a Windows path to; empty when there is none.
std::wstring UnixPath(const std::wstring& path) {
  using Convert = char* (*)(const wchar_t*);
  const auto convert =
      reinterpret_cast<Convert>(reinterpret_cast<void*>(::GetProcAddress(
          ::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unix_path = convert != nullptr ? convert(path.c_str()) : nullptr;
  if (unix_path == nullptr) return std::wstring();
  std::wstring wide;
  for (const char* c = unix_path; *c != '\0'; ++c) {
    wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  }
  ::HeapFree(::GetProcessHeap(), 0, unix_path);
  return wide;
}

// Runs the Unix program `program` (its Windows path) with `command` as its
// command line, which Wine starts like any other, and waits until `done`
// holds, for at most ten seconds: Wine may signal a Unix program's handle
// before it has run.
bool RunUnixProgram(const wchar_t* program, std::wstring command,
                    const std::function<bool()>& done) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program, &command[0], nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
    return false;
  }
  const UniqueKernelHandle process_handle(process.hProcess);
  const UniqueKernelHandle thread_handle(process.hThread);
  for (int waited_ms = 0; waited_ms < 10000; waited_ms += 10) {
    if (done()) return true;
    ::Sleep(10);
  }
  return false;
}

bool UnixLink(const std::wstring& link, const std::wstring& target) {
  const std::wstring unix_link = UnixPath(link);
  const std::wstring unix_target = UnixPath(target);
  if (unix_link.empty() || unix_target.empty()) return false;
  return RunUnixProgram(
      L"Z:\\bin\\ln",
      L"/bin/ln -s \"" + unix_target + L"\" \"" + unix_link + L"\"", [&link] {
        return ::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
      });
}

}  // namespace

bool RemoveUnixLink(const std::wstring& link) {
  if (!RunningUnderWine()) return false;
  const std::wstring unix_link = UnixPath(link);
  if (unix_link.empty()) return false;
  // Without a trailing separator rm takes the link, never its target.
  return RunUnixProgram(
      L"Z:\\bin\\rm", L"/bin/rm -f \"" + unix_link + L"\"", [&link] {
        return ::GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES;
      });
}

bool RunningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr &&
         ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool MakeSymbolicLink(const std::wstring& link, const std::wstring& target) {
  const DWORD target_attributes = ::GetFileAttributesW(target.c_str());
  if (target_attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (RunningUnderWine()) {
    UnixLink(link, target);
  } else {
    ::CreateSymbolicLinkW(link.c_str(), target.c_str(),
                          SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE |
                              ((target_attributes & FILE_ATTRIBUTE_DIRECTORY)
                                   ? SYMBOLIC_LINK_FLAG_DIRECTORY
                                   : 0));
  }
  const DWORD attributes = ::GetFileAttributesW(link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
