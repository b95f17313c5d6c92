// The native log's file: where SetNativeLogFile sends every line.
#ifndef KEELHAVEN_UTIL_NATIVE_LOG_FILE_H_
#define KEELHAVEN_UTIL_NATIVE_LOG_FILE_H_

#include <string_view>

// Appends timestamp + prefix + label + text + "\n" to the log file, if one
// is set, in one write. A text over 256 KiB is cut there (at a character's
// start) and followed by " [<n> more bytes cut]".
void AppendToLogFile(std::string_view prefix, std::string_view label,
                     std::string_view text);

#endif  // KEELHAVEN_UTIL_NATIVE_LOG_FILE_H_
