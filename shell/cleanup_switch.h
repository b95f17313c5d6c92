// The host's clean-up run, for the installer's removal of the program:
//   keelhaven.exe --uninstall-cleanup
// takes the tunnel down and removes the configuration folder
// (C:\ProgramData\Keelhaven, with the log and any key file), and every
// folder a run moved aside beside it (Keelhaven.untrusted-<32 hex digits>),
// without following a link, opens no window and never starts the engine. Its
// exit code, also written as the last log line:
//   0   nothing is left
//   4   the tunnel service may still be installed (its removal failed)
//   8   the folder, or some of it, is still there (a link in its place,
//       entries that could not be deleted, or an error)
//   12  both
// (The process entry runs it only when no other copy of the program runs;
// otherwise it exits with 2 and does nothing.)
#ifndef KEELHAVEN_SHELL_CLEANUP_SWITCH_H_
#define KEELHAVEN_SHELL_CLEANUP_SWITCH_H_

#include <string>
#include <vector>

extern const char kCleanupSwitch[];  // "--uninstall-cleanup"

// Whether the command-line arguments (after the program path) ask for the
// clean-up run. The switch is the host's own: it never reaches the engine.
bool HasCleanupSwitch(const std::vector<std::string>& arguments);

// Runs the clean-up, logging each step on standard error; gives the exit code.
int RunCleanup();

#endif  // KEELHAVEN_SHELL_CLEANUP_SWITCH_H_
