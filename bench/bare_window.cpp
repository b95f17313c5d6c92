// The start-up benchmark's baseline: the least a Windows program does to put
// a top-level window on the screen (register a class, create the window at
// keelhaven.exe's place and size, show it) and to end when it is closed.
#include "util/windows_include.h"

namespace {

constexpr wchar_t kClassName[] = L"KEELHAVEN_BENCH_BARE_WINDOW";

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                            LPARAM lparam) {
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int APIENTRY wWinMain(HINSTANCE instance, HINSTANCE /*previous*/,
                      wchar_t* /*command_line*/, int /*show_command*/) {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kClassName;
  if (::RegisterClassExW(&window_class) == 0) return 1;

  const HWND window =
      ::CreateWindowExW(0, kClassName, L"Bare window", WS_OVERLAPPEDWINDOW, 10,
                        10, 1280, 720, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ::ShowWindow(window, SW_SHOWNORMAL);
  ::UpdateWindow(window);

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
