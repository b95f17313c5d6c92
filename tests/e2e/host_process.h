// Runs keelhaven.exe from the bundle folder as a child process, as a user
// would start it, with the stand-in engine playing a script and writing a
// transcript, and collects what can be observed from outside: the exit
// code, the transcript and the native log (standard error). It expects the
// host to end by itself with the exit code the options name.
#ifndef KEELHAVEN_TESTS_E2E_HOST_PROCESS_H_
#define KEELHAVEN_TESTS_E2E_HOST_PROCESS_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/run_child.h"
#include "util/windows_include.h"

// The bundle folder (keelhaven.exe, the engine library, data\).
std::wstring BundleFolder();
// BundleFolder() + "\keelhaven.exe".
std::wstring HostExecutable();
// Where WireGuard for Windows installs itself: C:\Program Files\WireGuard.
extern const wchar_t kWireGuardFolder[];
// The host's configuration file:
// <common application data>\Keelhaven\Keelhaven.conf.
std::wstring HostConfigFile();

struct HostOptions {
  // The stand-in engine's script, one command a line.
  std::string script;
  // Appended to the command line after the script and transcript arguments
  // (exactly as given: quote as the command line needs).
  std::wstring arguments;
  // False: the script and the transcript are named in the environment
  // instead, so that the command line holds only the program path and
  // `arguments`.
  bool paths_as_arguments = true;
  // See ChildOptions.
  std::function<void(unsigned long process_id)> while_running;
  uint32_t timeout_ms = 90000;
  // See ChildOptions.
  bool standard_handles = true;
  // The exit code RunHost expects, having expected the host not to time out.
  uint32_t exit_code = 0;
};

struct HostRun {
  ChildRun process;
  // The stand-in engine's transcript, one event a line.
  std::vector<std::string> transcript;
  // The script and transcript arguments, in that order, as UTF-8.
  std::string script_argument;
  std::string transcript_argument;

  // Standard error, one line each; the C runtime writes a line feed as
  // CR LF, and carriage returns at the end of a line are dropped here.
  std::vector<std::string> ErrorLines() const;
  // The messages of the native log, prefix removed, in order (only the
  // first line of a message that holds line breaks).
  std::vector<std::string> NativeMessages() const;
  // The hex of every reply in the transcript, in order ("" for an empty
  // reply).
  std::vector<std::string> Replies() const;
  // Transcript lines that start with `prefix`.
  std::vector<std::string> TranscriptLines(const std::string& prefix) const;
};

HostRun RunHost(const HostOptions& options);

// The host's top-level window in process `process_id`, or null.
HWND FindHostWindow(DWORD process_id);

// Polls `condition` every 20 ms until it holds (true) or `timeout_ms`
// passes (false).
bool WaitUntil(const std::function<bool()>& condition, uint32_t timeout_ms);

#endif  // KEELHAVEN_TESTS_E2E_HOST_PROCESS_H_
