// The native log's file.
#ifndef KEELHAVEN_UTIL_NATIVE_LOG_FILE_H_
#define KEELHAVEN_UTIL_NATIVE_LOG_FILE_H_

#include <memory>
#include <string>
#include <string_view>

class HeldFolder;  // util/held_folder.h

// From now on every log line also goes to the file `name` in `folder` (a
// null folder stops that): the line NativeLog writes, after a UTC timestamp
// "YYYY-MM-DD HH:MM:SS.mmm ", one write per line with nothing held back in
// this process. Before a line would take the file past 1 MiB, the file
// becomes `name` + ".1" (replacing an older one) and a new file starts. The
// file is reached, created, renamed and replaced only relative to the held
// folder, which the log keeps open while it writes there. A new file is
// readable by SYSTEM and Administrators only, and an existing one is given
// that DACL. A name that is a link, a hard link or a folder, or any failure
// to set the file up, leaves the log without a file; a failed write is
// dropped. Nothing of this is reported or changes what the caller does.
void SetNativeLogFile(std::shared_ptr<const HeldFolder> folder,
                      const std::wstring& name);

// Appends timestamp + prefix + label + text + "\n" to the log file, if one
// is set, in one write. A text over 256 KiB is cut there (at a character's
// start) and followed by " [<n> more bytes cut]".
void AppendToLogFile(std::string_view prefix, std::string_view label,
                     std::string_view text);

#endif  // KEELHAVEN_UTIL_NATIVE_LOG_FILE_H_
