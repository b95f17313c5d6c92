// Standard output and standard error of the stand-in tools, written as raw
// bytes (no text-mode translation), so line ends are exactly as given.
#ifndef KEELHAVEN_STANDINS_WIREGUARD_CONSOLE_H_
#define KEELHAVEN_STANDINS_WIREGUARD_CONSOLE_H_

#include <string_view>

// Write everything, in chunks; stop quietly when the handle is missing,
// closed or its reader is gone.
void WriteStdout(std::string_view bytes);
void WriteStderr(std::string_view bytes);

// Closes this process's standard output and standard error handles (once,
// when both are the same handle); later writes go nowhere.
void CloseStandardOutput();

#endif  // KEELHAVEN_STANDINS_WIREGUARD_CONSOLE_H_
