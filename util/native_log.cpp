#include "util/native_log.h"

#include <io.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "util/native_log_file.h"
#include "util/windows_include.h"

namespace {

constexpr std::string_view kPrefix = "[Keelhaven Native] ";
// The debugger gets at most this much of a line: it copies every line
// whole, and a child's output logged in one line can be megabytes.
constexpr size_t kDebuggerLineBytes = 4096;

void ToDebugger(std::string_view label, std::string_view text) {
  char line[kDebuggerLineBytes + 2];
  size_t used = 0;
  for (const std::string_view part : {kPrefix, label, text}) {
    const size_t size = std::min(part.size(), kDebuggerLineBytes - used);
    std::memcpy(line + used, part.data(), size);
    used += size;
  }
  line[used++] = '\n';
  // The debugger reads up to the first NUL; a NUL in the text cuts it there.
  line[used] = '\0';
  ::OutputDebugStringA(line);
}

// The handle behind the C runtime's standard error, or null when the
// process has none: started from the desktop, a GUI program has no console
// and no standard handles. The runtime keeps descriptor 2 open from its start
// (with -2 for a missing handle), so asking it for the handle is safe where
// other calls on a missing descriptor would end the process.
HANDLE StandardError() {
  const HANDLE standard = ::GetStdHandle(STD_ERROR_HANDLE);
  if (standard == nullptr || standard == INVALID_HANDLE_VALUE) return nullptr;
  const intptr_t handle = _get_osfhandle(2);
  if (handle == 0 || handle == -1 || handle == -2) return nullptr;
  return reinterpret_cast<HANDLE>(handle);
}

void WriteAll(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk =
        static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data(), chunk, &written, nullptr) ||
        written == 0) {
      return;
    }
    bytes.remove_prefix(written);
  }
}

// Written to the handle, not through the C runtime's stream: no text-mode
// translation (the line ends in a bare line feed) and no copy of the parts.
void ToStandardError(std::string_view label, std::string_view text) {
  const HANDLE handle = StandardError();
  if (handle == nullptr) return;
  // What others wrote through the stream goes out first.
  std::fflush(stderr);
  for (const std::string_view part : {kPrefix, label, text}) {
    WriteAll(handle, part);
  }
  WriteAll(handle, "\n");
}

}  // namespace

void NativeLog(const std::string& message) {
  NativeLog(std::string_view(), message);
}

void NativeLog(std::string_view label, std::string_view text) {
  ToDebugger(label, text);
  ToStandardError(label, text);
  AppendToLogFile(kPrefix, label, text);
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  // Length -1 reads up to the first NUL and counts the terminator.
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr,
                                         0, nullptr, nullptr);
  if (size <= 0) return "<conversion error>";
  std::string utf8(static_cast<size_t>(size) - 1, '\0');
  // The terminator lands in the string's own terminator position.
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], size, nullptr,
                        nullptr);
  return utf8;
}
