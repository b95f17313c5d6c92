// Standard error as the native log writes it: the raw handle, and UTF-16 for
// a console.
#ifndef KEELHAVEN_UTIL_NATIVE_LOG_CONSOLE_H_
#define KEELHAVEN_UTIL_NATIVE_LOG_CONSOLE_H_

#include <initializer_list>
#include <string_view>

// Writes the UTF-8 parts, in order, to the process's standard error: the
// handle of the C runtime's descriptor 2, or else the process's standard
// error handle (a console attached after the runtime started). A console
// gets the text as UTF-16, whatever its code page; anything else the bytes
// unchanged. Does nothing when the process has no standard error; failures
// are dropped.
void WriteToStandardError(std::initializer_list<std::string_view> parts);

#endif  // KEELHAVEN_UTIL_NATIVE_LOG_CONSOLE_H_
