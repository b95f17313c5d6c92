// Console control events reach the application's window. Closing the
// console window, log-off and shutdown send kConsoleClosingMessage: the
// window takes the tunnel down as at the session's end (no program started,
// the key file first), then closes.
//
// Ctrl+C and Ctrl+Break are ignored: the console the host attached to
// belongs to the shell that started it, which is back at its prompt, and a
// Ctrl+C meant for another program there must not drop the VPN. The window
// is how the user closes the application.
//
// Windows calls the handler on a thread it starts for the event. The
// handler only posts a message: all window and tunnel work stays on the
// window's thread. For the events after which Windows ends the process,
// the handler then waits until the window's thread reports its teardown
// done, at most as long as Windows lets it.
#ifndef KEELHAVEN_SHELL_CONSOLE_CLOSE_H_
#define KEELHAVEN_SHELL_CONSOLE_CLOSE_H_

#include "util/windows_include.h"

// Ignores Ctrl+C and Ctrl+Break from now on, also before a ConsoleClose
// exists; other events keep Windows' own handling (the process ends).
void IgnoreConsoleInterrupts();

// The handler IgnoreConsoleInterrupts registers: TRUE for Ctrl+C and
// Ctrl+Break.
BOOL WINAPI IgnoreInterrupt(DWORD event);

// Posted to the window when Windows is about to end the process because
// its console is closing or the session is ending.
constexpr UINT kConsoleClosingMessage = WM_APP + 1;

// One per process, on the window's thread, for as long as `window` lives.
class ConsoleClose {
 public:
  // Registers the handler; events go to `window`.
  explicit ConsoleClose(HWND window);
  // Unregisters the handler and releases a waiting one.
  ~ConsoleClose();

  ConsoleClose(const ConsoleClose&) = delete;
  ConsoleClose& operator=(const ConsoleClose&) = delete;

  // The window is destroyed and its tunnel taken down: a waiting handler
  // may let Windows end the process.
  void TeardownDone();

  // The handler as Windows calls it: TRUE when the event was handled here.
  static BOOL WINAPI HandleControl(DWORD event);
};

#endif  // KEELHAVEN_SHELL_CONSOLE_CLOSE_H_
