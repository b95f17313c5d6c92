#include "util/native_log.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "util/native_log_console.h"
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

}  // namespace

void NativeLog(const std::string& message) {
  NativeLog(std::string_view(), message);
}

void NativeLog(std::string_view label, std::string_view text) {
  ToDebugger(label, text);
  WriteToStandardError({kPrefix, label, text, "\n"});
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
