#include "shell/win32_window.h"

#include <algorithm>
#include <limits>

#include "embedding/engine_api.h"
#include "shell/resources/resource.h"
#include "util/unique_handle.h"
// After windows.h:
#include <dwmapi.h>

namespace {

constexpr wchar_t kWindowClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";

constexpr wchar_t kThemeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t kThemeValue[] = L"AppsUseLightTheme";
// DWMWA_USE_IMMERSIVE_DARK_MODE; older SDK headers lack the name.
constexpr DWORD kImmersiveDarkModeAttribute = 20;

// Live Win32Window objects.
int32_t active_window_count = 0;

// Whether the window class is registered. Created on first use and never
// freed, so it outlives every window object, static ones included.
class WindowClassState {
 public:
  static WindowClassState& Get() {
    static WindowClassState* state = new WindowClassState();
    return *state;
  }

  // Registers the class unless this process did already; a failed
  // registration shows only in the window creation that follows, and is
  // tried again by the next one.
  const wchar_t* GetWindowClass(WNDPROC procedure) {
    if (!registered_) {
      WNDCLASSW window_class = {};
      window_class.style = CS_HREDRAW | CS_VREDRAW;
      window_class.lpfnWndProc = procedure;
      window_class.hInstance = ::GetModuleHandleW(nullptr);
      window_class.hIcon =
          ::LoadIconW(window_class.hInstance, MAKEINTRESOURCEW(IDI_APP_ICON));
      window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
      window_class.lpszClassName = kWindowClassName;
      registered_ = ::RegisterClassW(&window_class) != 0;
    }
    return kWindowClassName;
  }

  void UnregisterWindowClass() {
    ::UnregisterClassW(kWindowClassName, nullptr);
    registered_ = false;
  }

 private:
  WindowClassState() = default;
  bool registered_ = false;
};

// Scales a logical value and truncates toward zero. Values beyond the
// 32-bit range (an absurd DPI) are clamped rather than converted, which
// would be undefined.
int32_t Scale(int32_t value, double scale_factor) {
  const double scaled = value * scale_factor;
  if (!(scaled > std::numeric_limits<int32_t>::min())) {
    return std::numeric_limits<int32_t>::min();
  }
  if (!(scaled < std::numeric_limits<int32_t>::max())) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(scaled);
}

// Lets Windows scale the title bar and borders with the DPI on systems that
// need to be asked (the function exists from Windows 10 1607 on).
void EnableFullDpiSupportIfAvailable(HWND window) {
  UniqueModule user32(::LoadLibraryA("User32.dll"));
  if (!user32) return;
  using EnableNonClientDpiScaling = BOOL(WINAPI*)(HWND);
  const auto enable =
      reinterpret_cast<EnableNonClientDpiScaling>(reinterpret_cast<void*>(
          ::GetProcAddress(user32.get(), "EnableNonClientDpiScaling")));
  if (enable) enable(window);
}

// Shrinks `frame` to fit `work` and moves it inside: scaled for a high
// DPI, the window could otherwise reach under the taskbar or off the screen.
RECT ClampToWorkArea(const RECT& frame, const RECT& work) {
  const LONG width = std::min(frame.right - frame.left, work.right - work.left);
  const LONG height =
      std::min(frame.bottom - frame.top, work.bottom - work.top);
  const LONG left =
      std::max(work.left, std::min(frame.left, work.right - width));
  const LONG top =
      std::max(work.top, std::min(frame.top, work.bottom - height));
  return RECT{left, top, left + width, top + height};
}

// The window's outer rectangle on `monitor`, in physical pixels: `origin`
// and `size` scaled by the monitor's DPI, then kept within its work area
// (the area not taken by the taskbar). When the work area can't be read the
// scaled rectangle stands.
RECT PlaceOnMonitor(HMONITOR monitor, const Point& origin, const Size& size) {
  const uint32_t dpi = FlutterDesktopGetDpiForMonitor(monitor);
  const double scale_factor = dpi / 96.0;
  const int32_t left = Scale(origin.x, scale_factor);
  const int32_t top = Scale(origin.y, scale_factor);
  // Computed in 64 bits: the scaled values may each be near the 32-bit
  // limits.
  const RECT scaled = {left, top,
                       static_cast<LONG>(std::min<int64_t>(
                           int64_t{left} + Scale(size.width, scale_factor),
                           std::numeric_limits<int32_t>::max())),
                       static_cast<LONG>(std::min<int64_t>(
                           int64_t{top} + Scale(size.height, scale_factor),
                           std::numeric_limits<int32_t>::max()))};
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  if (!::GetMonitorInfoW(monitor, &info)) return scaled;
  return ClampToWorkArea(scaled, info.rcWork);
}

void UnregisterClassIfLast() {
  if (active_window_count == 0) {
    WindowClassState::Get().UnregisterWindowClass();
  }
}

void FillWithClientArea(HWND parent, HWND child) {
  RECT frame = {};
  ::GetClientRect(parent, &frame);
  ::MoveWindow(child, frame.left, frame.top, frame.right - frame.left,
               frame.bottom - frame.top, TRUE);
}

}  // namespace

Win32Window::Win32Window() { ++active_window_count; }

Win32Window::~Win32Window() {
  // Counted down first, so that the Destroy below unregisters the class
  // when this was the last object.
  --active_window_count;
  Destroy();
}

bool Win32Window::Create(const std::wstring& title, const Point& origin,
                         const Size& size) {
  Destroy();

  const wchar_t* window_class = WindowClassState::Get().GetWindowClass(WndProc);

  const POINT target = {static_cast<LONG>(origin.x),
                        static_cast<LONG>(origin.y)};
  const HMONITOR monitor = ::MonitorFromPoint(target, MONITOR_DEFAULTTONEAREST);
  const RECT frame = PlaceOnMonitor(monitor, origin, size);

  const HWND window = ::CreateWindowExW(
      0, window_class, title.c_str(), WS_OVERLAPPEDWINDOW, frame.left,
      frame.top, frame.right - frame.left, frame.bottom - frame.top, nullptr,
      nullptr, ::GetModuleHandleW(nullptr), this);
  if (!window) return false;

  ApplySystemTheme(window);
  return OnCreate();
}

bool Win32Window::Show() {
  return ::ShowWindow(window_handle_, SW_SHOWNORMAL) != 0;
}

void Win32Window::Destroy() {
  const bool had_window = window_handle_ != nullptr;
  // Sends WM_DESTROY, whose handling lets go of the handle and runs
  // OnDestroy: once per window, whichever way the window goes.
  if (had_window) ::DestroyWindow(window_handle_);
  if (!had_window || window_handle_) {
    // No window, or WM_DESTROY never reached this object (the window was
    // not destroyed).
    window_handle_ = nullptr;
    OnDestroy();
  }
  // Also after WM_DESTROY's own try: the class can't go while its window
  // is still being destroyed.
  UnregisterClassIfLast();
}

void Win32Window::SetContentWindow(HWND content) {
  content_window_ = content;
  ::SetParent(content, window_handle_);
  FillWithClientArea(window_handle_, content);
  ::SetFocus(content);
}

void Win32Window::SetPostQuitOnDestroy(bool quit_on_close) {
  post_quit_on_destroy_ = quit_on_close;
}

RECT Win32Window::GetClientRectangle() const {
  RECT frame = {};
  ::GetClientRect(window_handle_, &frame);
  return frame;
}

LRESULT CALLBACK Win32Window::WndProc(HWND window, UINT message, WPARAM wparam,
                                      LPARAM lparam) noexcept {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    EnableFullDpiSupportIfAvailable(window);
    static_cast<Win32Window*>(create->lpCreateParams)->window_handle_ = window;
  } else if (auto* that = reinterpret_cast<Win32Window*>(
                 ::GetWindowLongPtrW(window, GWLP_USERDATA))) {
    return that->HandleMessage(window, message, wparam, lparam);
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

LRESULT Win32Window::HandleMessage(HWND window, UINT message, WPARAM wparam,
                                   LPARAM lparam) noexcept {
  switch (message) {
    case WM_DESTROY:
      window_handle_ = nullptr;
      OnDestroy();
      UnregisterClassIfLast();
      if (post_quit_on_destroy_) ::PostQuitMessage(0);
      return 0;

    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      ::SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left,
                     suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }

    case WM_SIZE:
      if (content_window_) FillWithClientArea(window_handle_, content_window_);
      return 0;

    case WM_ACTIVATE:
      if (content_window_) ::SetFocus(content_window_);
      return 0;

    case WM_DWMCOLORIZATIONCOLORCHANGED:
      ApplySystemTheme(window);
      return 0;

    case WM_QUERYENDSESSION:
      // Never hold up a log-off or shutdown; the work is done when it is
      // certain, at WM_ENDSESSION.
      return TRUE;

    case WM_ENDSESSION:
      // The process may be ended at any moment once this returns, without
      // WM_CLOSE or WM_DESTROY.
      if (wparam) OnEndSession();
      return 0;
  }
  // The handle the message came with: the stored one is already null while
  // the last messages of a destroyed window arrive.
  return ::DefWindowProcW(window, message, wparam, lparam);
}

bool Win32Window::OnCreate() { return true; }

void Win32Window::OnDestroy() {}

void Win32Window::OnEndSession() {}

void Win32Window::ApplySystemTheme(HWND window) {
  DWORD light_mode = 0;
  DWORD light_mode_size = sizeof(light_mode);
  if (::RegGetValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue,
                     RRF_RT_REG_DWORD, nullptr, &light_mode,
                     &light_mode_size) != ERROR_SUCCESS) {
    return;
  }
  const BOOL enable_dark_mode = light_mode == 0;
  ::DwmSetWindowAttribute(window, kImmersiveDarkModeAttribute,
                          &enable_dark_mode, sizeof(enable_dark_mode));
}
