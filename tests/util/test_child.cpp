#include "tests/util/test_child.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

constexpr DWORD kChildSleepMs = 60000;

std::wstring OwnPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(
        nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

// Unbuffered, so bytes reach the pipe in the order of the calls.
void Write(DWORD stream, const std::string& bytes) {
  const HANDLE handle = ::GetStdHandle(stream);
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk =
        static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 65536));
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data() + done, chunk, &written, nullptr) ||
        written == 0) {
      return;
    }
    done += written;
  }
}

int StartGrandchild() {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  std::wstring command = TestChildCommand(L"sleep");
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
    return 98;
  }
  UniqueKernelHandle process(info.hProcess);
  UniqueKernelHandle thread(info.hThread);
  Write(STD_OUTPUT_HANDLE,
        "grandchild=" + std::to_string(info.dwProcessId) + "\n");
  return 7;
}

int RunChild(const std::string& mode) {
  if (mode == "silent") return 0;
  if (mode.compare(0, 5, "exit:") == 0) {
    return static_cast<int>(std::strtoul(mode.c_str() + 5, nullptr, 10));
  }
  if (mode == "mixed") {
    Write(STD_OUTPUT_HANDLE, PatternBytes(10000));
    Write(STD_ERROR_HANDLE, "ERR-1\n");
    Write(STD_OUTPUT_HANDLE, "tail\n");
    return 0;
  }
  if (mode.compare(0, 4, "big:") == 0) {
    Write(STD_OUTPUT_HANDLE,
          PatternBytes(std::strtoul(mode.c_str() + 4, nullptr, 10)));
    return 0;
  }
  if (mode == "nul") {
    Write(STD_OUTPUT_HANDLE, std::string("a\0b\0\0c", 6));
    return 0;
  }
  if (mode == "close_then_sleep") {
    Write(STD_OUTPUT_HANDLE, "before close\n");
    // Standard output and standard error are the same pipe handle.
    ::CloseHandle(::GetStdHandle(STD_OUTPUT_HANDLE));
    if (::GetStdHandle(STD_ERROR_HANDLE) != ::GetStdHandle(STD_OUTPUT_HANDLE)) {
      ::CloseHandle(::GetStdHandle(STD_ERROR_HANDLE));
    }
    ::Sleep(kChildSleepMs);
    return 0;
  }
  if (mode == "hang") {
    Write(STD_OUTPUT_HANDLE, "still here\n");
    ::Sleep(kChildSleepMs);
    return 0;
  }
  if (mode == "sleep") {
    ::Sleep(kChildSleepMs);
    return 0;
  }
  if (mode == "grandchild") return StartGrandchild();
  return 99;
}

}  // namespace

std::wstring TestChildCommand(const std::wstring& mode) {
  return L"\"" + OwnPath() + L"\" --child=" + mode;
}

std::string PatternBytes(size_t count) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) {
    bytes[i] = static_cast<char>('a' + i % 26);
  }
  return bytes;
}

int main(int argc, char** argv) {
  constexpr char kChildFlag[] = "--child=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kChildFlag, sizeof(kChildFlag) - 1) == 0) {
      return RunChild(argv[i] + sizeof(kChildFlag) - 1);
    }
  }
  testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
