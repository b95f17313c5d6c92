// The console control handler as Windows calls it, in this process.
#include "shell/console_close.h"

#include <gtest/gtest.h>

#include "util/windows_include.h"

namespace {

// Whether a WM_CLOSE for `window` is queued; takes it off the queue.
bool TakeClose(HWND window) {
  MSG message;
  return ::PeekMessageW(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
}

// Ctrl+C and Ctrl+Break in the console are handled (Windows' default would
// end the process) and leave the window alone; they once closed it.
TEST(ConsoleCloseTest, InterruptsAreIgnored) {
  const HWND window =
      ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                        nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  {
    ConsoleClose console_close(window);
    for (const DWORD event : {CTRL_C_EVENT, CTRL_BREAK_EVENT}) {
      SCOPED_TRACE(event);
      EXPECT_TRUE(ConsoleClose::HandleControl(event));
      EXPECT_FALSE(TakeClose(window));
      // Also before the window exists.
      EXPECT_TRUE(IgnoreInterrupt(event));
    }
    // Other events are not the early handler's: Windows' own handling ends
    // a process that has no window yet.
    EXPECT_FALSE(IgnoreInterrupt(CTRL_CLOSE_EVENT));
  }
  ::DestroyWindow(window);
}

}  // namespace
