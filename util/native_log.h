// The diagnostic log of the tunnel logic and the command runner.
#ifndef KEELHAVEN_UTIL_NATIVE_LOG_H_
#define KEELHAVEN_UTIL_NATIVE_LOG_H_

#include <string>
#include <string_view>

// SetNativeLogFile, with the rest of the log file's contract.
#include "util/native_log_file.h"

// Writes "[Keelhaven Native] " + message + "\n" to an attached debugger (cut
// to its first 4 KiB, then a line feed), then to standard error when the
// process has one (also one attached after the C runtime started; a console
// gets the text as UTF-16). The message is UTF-8 and passes unchanged: it
// may hold line breaks, and only its first line carries the prefix. Never
// fails.
void NativeLog(const std::string& message);

// Logs label + text as one message, without joining them first: for a
// long text such as a child's whole output.
void NativeLog(std::string_view label, std::string_view text);

// Converts UTF-16 to UTF-8 for log lines, up to the first NUL. Never fails:
// when Windows refuses the conversion the result is "<conversion error>". An
// unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(const std::wstring& text);

#endif  // KEELHAVEN_UTIL_NATIVE_LOG_H_
