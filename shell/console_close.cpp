#include "shell/console_close.h"

#include <atomic>
#include <cstdint>

#include "util/unique_handle.h"

namespace {

// How long Windows waits for a handler before it ends the process: about
// 5 s after closing the console window, about 20 s at log-off or shutdown.
constexpr uint32_t kCloseEventWaitMs = 5000;
constexpr uint32_t kSessionEndWaitMs = 20000;

// Shared with the handler's thread. The event is created before the
// handler is registered and set (never closed) when it is unregistered,
// so a handler that is still waiting always holds a live handle.
std::atomic<HWND> target_window{nullptr};
UniqueKernelHandle& TeardownEvent() {
  // Never destroyed: a handler may still be waiting while the process
  // exits.
  static UniqueKernelHandle* event = new UniqueKernelHandle(
      ::CreateEventW(nullptr, /*manual_reset=*/TRUE, FALSE, nullptr));
  return *event;
}

}  // namespace

BOOL WINAPI IgnoreInterrupt(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

void IgnoreConsoleInterrupts() {
  ::SetConsoleCtrlHandler(IgnoreInterrupt, TRUE);
}

ConsoleClose::ConsoleClose(HWND window) {
  ::ResetEvent(TeardownEvent().get());
  target_window = window;
  ::SetConsoleCtrlHandler(HandleControl, TRUE);
}

ConsoleClose::~ConsoleClose() {
  ::SetConsoleCtrlHandler(HandleControl, FALSE);
  TeardownDone();
}

void ConsoleClose::TeardownDone() {
  target_window = nullptr;
  ::SetEvent(TeardownEvent().get());
}

BOOL WINAPI ConsoleClose::HandleControl(DWORD event) {
  uint32_t wait_ms = 0;
  UINT message = kConsoleClosingMessage;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      return IgnoreInterrupt(event);
    case CTRL_CLOSE_EVENT:
      wait_ms = kCloseEventWaitMs;
      break;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      wait_ms = kSessionEndWaitMs;
      break;
    default:
      return FALSE;
  }
  const HWND window = target_window;
  // No window (not yet made, or gone with its teardown done): Windows'
  // own handling, which ends the process, is right.
  if (!window || !::PostMessageW(window, message, 0, 0)) return FALSE;
  if (wait_ms > 0) ::WaitForSingleObject(TeardownEvent().get(), wait_ms);
  return TRUE;
}
