#include "standins/engine/view.h"

namespace standin {
namespace {

constexpr wchar_t kViewClassName[] = L"KeelhavenEngineView";

struct FontTraits {
  using Type = HFONT;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type font) noexcept { ::DeleteObject(font); }
};
using UniqueFont = UniqueHandle<FontTraits>;

HMODULE ThisModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

UniqueFont Font(int height, int weight) {
  return UniqueFont(::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE,
                                  DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                  DEFAULT_PITCH, L"Segoe UI"));
}

void Paint(HWND window, const std::wstring& line) {
  PAINTSTRUCT paint;
  const HDC dc = ::BeginPaint(window, &paint);
  RECT client;
  ::GetClientRect(window, &client);
  const HBRUSH background = ::CreateSolidBrush(RGB(0x12, 0x18, 0x24));
  ::FillRect(dc, &client, background);
  ::DeleteObject(background);
  ::SetBkMode(dc, TRANSPARENT);

  UniqueFont title = Font(-56, FW_SEMIBOLD);
  UniqueFont status = Font(-18, FW_NORMAL);
  const int middle = (client.top + client.bottom) / 2;
  RECT upper = {client.left, client.top, client.right, middle};
  RECT lower = {client.left, middle + 16, client.right, client.bottom};
  const HGDIOBJ previous = ::SelectObject(dc, title.get());
  ::SetTextColor(dc, RGB(0xe8, 0xee, 0xf6));
  ::DrawTextW(dc, L"Keelhaven", -1, &upper,
              DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
  ::SelectObject(dc, status.get());
  ::SetTextColor(dc, RGB(0x8a, 0x9b, 0xb3));
  ::DrawTextW(dc, line.c_str(), -1, &lower,
              DT_CENTER | DT_TOP | DT_SINGLELINE | DT_END_ELLIPSIS);
  ::SelectObject(dc, previous);
  ::EndPaint(window, &paint);
}

LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wparam,
                          LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* view = reinterpret_cast<FlutterDesktopView*>(
      ::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!view) return ::DefWindowProcW(window, message, wparam, lparam);
  if (message >= static_cast<UINT>(ViewWork::kRunFrame) &&
      message <= static_cast<UINT>(ViewWork::kRunCommand)) {
    // A copy: the work may destroy the view.
    const std::function<void(ViewWork)> run = view->run;
    run(static_cast<ViewWork>(message));
    return 0;
  }
  switch (message) {
    case WM_PAINT:
      Paint(window, *view->status);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      ::InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_TIMER:
      ::KillTimer(window, wparam);
      ::PostMessageW(window, static_cast<UINT>(wparam), 0, 0);
      return 0;
    case WM_NCDESTROY:
      // Destroyed with the host's window: the view no longer owns it.
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (view->window.get() == window) view->window.release();
      break;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

bool RegisterViewClass(HINSTANCE instance) {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = ViewProc;
  window_class.hInstance = instance;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = kViewClassName;
  return ::RegisterClassExW(&window_class) != 0 ||
         ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

bool CreateViewWindow(FlutterDesktopView* view, int width, int height) {
  const HINSTANCE instance = ThisModule();
  if (!RegisterViewClass(instance)) return false;
  view->holder.reset(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, width,
                                       height, nullptr, nullptr, instance,
                                       nullptr));
  if (!view->holder) return false;
  view->window.reset(::CreateWindowExW(
      0, kViewClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
      width, height, view->holder.get(), nullptr, instance, view));
  return view->window.valid();
}

}  // namespace standin
