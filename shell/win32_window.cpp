#include "shell/win32_window.h"

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
  const uint32_t dpi = FlutterDesktopGetDpiForMonitor(monitor);
  const double scale_factor = dpi / 96.0;

  const HWND window = ::CreateWindowExW(
      0, window_class, title.c_str(), WS_OVERLAPPEDWINDOW,
      Scale(origin.x, scale_factor), Scale(origin.y, scale_factor),
      Scale(size.width, scale_factor), Scale(size.height, scale_factor),
      nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
  if (!window) return false;

  ApplySystemTheme(window);
  return OnCreate();
}

bool Win32Window::Show() {
  return ::ShowWindow(window_handle_, SW_SHOWNORMAL) != 0;
}

void Win32Window::Destroy() {
  OnDestroy();
  if (window_handle_) {
    // Sends WM_DESTROY, whose handling runs OnDestroy once more.
    ::DestroyWindow(window_handle_);
    window_handle_ = nullptr;
  }
  if (active_window_count == 0) {
    WindowClassState::Get().UnregisterWindowClass();
  }
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
      Destroy();
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
