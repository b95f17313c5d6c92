#include "util/native_log.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "util/windows_include.h"

void NativeLog(const std::string& message) {
  std::string line = "[Keelhaven Native] ";
  line += message;
  line += '\n';
  ::OutputDebugStringA(line.c_str());
  // The line ends in a bare line feed: in the C runtime's default text mode
  // standard error would turn it into CR LF. Counted write: a message may
  // hold NUL bytes (the debugger copy above stops at the first one).
  std::fflush(stderr);
  _setmode(_fileno(stderr), _O_BINARY);
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
