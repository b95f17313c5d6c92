// Finding a program's top-level window from outside it, as the end-to-end
// tests and the start-up benchmark do.
#ifndef KEELHAVEN_TESTS_SUPPORT_PROCESS_WINDOW_H_
#define KEELHAVEN_TESTS_SUPPORT_PROCESS_WINDOW_H_

#include "util/windows_include.h"

// The first top-level window of the process whose class is `window_class`,
// shown or not; null when it has none (yet).
HWND FindProcessWindow(DWORD process_id, const wchar_t* window_class);

#endif  // KEELHAVEN_TESTS_SUPPORT_PROCESS_WINDOW_H_
