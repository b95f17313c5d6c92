#include "tests/support/process_window.h"

#include <cwchar>

namespace {

struct WindowSearch {
  DWORD process_id;
  const wchar_t* window_class;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD process_id = 0;
  ::GetWindowThreadProcessId(window, &process_id);
  // One more than the longest class name looked for, so a longer name that
  // starts with it is cut to a different string.
  wchar_t class_name[256] = {};
  ::GetClassNameW(window, class_name, 256);
  if (process_id != search->process_id ||
      std::wcscmp(class_name, search->window_class) != 0) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

}  // namespace

HWND FindProcessWindow(DWORD process_id, const wchar_t* window_class) {
  WindowSearch search = {process_id, window_class, nullptr};
  ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}
