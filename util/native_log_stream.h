// Lines written to std::cerr (the portable code's complaints) sent where the
// native log goes.
#ifndef KEELHAVEN_UTIL_NATIVE_LOG_STREAM_H_
#define KEELHAVEN_UTIL_NATIVE_LOG_STREAM_H_

#include <streambuf>

// Puts a buffer behind std::cerr that sends each line, as written and
// without the log's prefix, to standard error the way NativeLog does (UTF-16
// to a console) and to the log file (after its timestamp). A line goes out
// at its line feed; a line longer than 64 KiB goes out in pieces. Returns
// the buffer std::cerr had, for a caller that puts it back; the new buffer
// is never freed, so std::cerr stays usable until the process ends.
std::streambuf* ForwardStandardErrorStream();

#endif  // KEELHAVEN_UTIL_NATIVE_LOG_STREAM_H_
