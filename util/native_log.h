// The diagnostic log of the tunnel logic and the command runner.
#ifndef KEELHAVEN_UTIL_NATIVE_LOG_H_
#define KEELHAVEN_UTIL_NATIVE_LOG_H_

#include <string>
#include <string_view>

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

// From now on every log line also goes to the file at `path` (an empty
// path stops that): the line as above, after a UTC timestamp
// "YYYY-MM-DD HH:MM:SS.mmm ", one write per line with nothing held back in
// this process. Before a line would take the file past 1 MiB, the file
// becomes `path` + ".1" (replacing an older one) and a new file starts. A
// new file is readable by SYSTEM and Administrators only, and an existing one
// is given that DACL. A path that is a reparse point, a hard link or a
// folder, or any failure to set the file up, leaves the log without a file;
// a failed write is dropped. Nothing of this is reported or changes what the
// caller does.
void SetNativeLogFile(const std::wstring& path);

// Converts UTF-16 to UTF-8 for log lines, up to the first NUL. Never fails:
// when Windows refuses the conversion the result is "<conversion error>". An
// unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(const std::wstring& text);

#endif  // KEELHAVEN_UTIL_NATIVE_LOG_H_
