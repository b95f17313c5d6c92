#include "shell/utils.h"

#include <cstdio>
#include <cwchar>
#include <iostream>

#include "embedding/engine_api.h"
#include "shell/console_close.h"
#include "util/native_log_stream.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"
// After windows.h:
#include <io.h>
#include <shellapi.h>

void AttachNewConsole() {
  if (!::AllocConsole()) return;
  FILE* unused = nullptr;
  // Standard output stays where it was when its console can't be opened.
  freopen_s(&unused, "CONOUT$", "w", stdout);
  if (freopen_s(&unused, "CONOUT$", "w", stderr) != 0) {
    // Error output then goes wherever standard output goes.
    _dup2(_fileno(stdout), 2);
  }
  std::ios::sync_with_stdio(true);
  FlutterDesktopResyncOutputStreams();
}

void PrepareDiagnosticOutput() {
  ForwardStandardErrorStream();
  IgnoreConsoleInterrupts();
}

std::vector<std::string> ReadCommandLineArguments() {
  return ArgumentsFromCommandLine(::GetCommandLineW());
}

std::vector<std::string> ArgumentsFromCommandLine(const wchar_t* command_line) {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(command_line, &count);
  if (!arguments) return {};
  const UniqueLocalMemory owner(reinterpret_cast<HLOCAL>(arguments));

  std::vector<std::string> result;
  // The first element is the program path.
  for (int i = 1; i < count; ++i) {
    result.push_back(ArgumentToUtf8(arguments[i]));
  }
  return result;
}

std::string ArgumentToUtf8(const wchar_t* text) {
  if (!text) return std::string();
  // WC_ERR_INVALID_CHARS: an unpaired surrogate fails the conversion rather
  // than turning into a substitute character.
  const int size = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text,
                                         -1, nullptr, 0, nullptr, nullptr);
  // 0: the conversion failed; 1: only the terminator.
  if (size <= 1) return std::string();
  const int length = size - 1;
  std::string utf8(static_cast<size_t>(length), '\0');
  const int converted = ::WideCharToMultiByte(
      CP_UTF8, WC_ERR_INVALID_CHARS, text, static_cast<int>(std::wcslen(text)),
      &utf8[0], length, nullptr, nullptr);
  if (converted == 0) return std::string();
  return utf8;
}
