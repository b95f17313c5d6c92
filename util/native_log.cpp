#include "util/native_log.h"

#include <cstdio>

#include "util/windows_include.h"

void NativeLog(const std::string& message) {
  std::string line = "[Keelhaven Native] ";
  line += message;
  line += '\n';
  ::OutputDebugStringA(line.c_str());
  // Counted write: a message may hold NUL bytes, and the debugger copy above
  // stops at the first one anyway.
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
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
