#include "engine_test_host.h"

#include "standins/common/text.h"
#include "tests/support/files.h"
#include "tests/support/text.h"

namespace engine_test {
namespace {

constexpr wchar_t kHostClassName[] = L"KeelhavenEngineTestHost";

void RegisterHostClass(WNDPROC procedure) {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpszClassName = kHostClassName;
  ::RegisterClassExW(&window_class);  // Already registered is fine.
}

}  // namespace

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD limit_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + limit_ms;
  while (!done()) {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    ::MsgWaitForMultipleObjects(
        0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  return true;
}

void PumpMessagesFor(DWORD ms) {
  PumpMessagesUntil([] { return false; }, ms);
}

std::vector<std::string> ReadLines(const std::wstring& path) {
  return ::Lines(ReadWholeFile(path));
}

std::string ArgLine(int index, const std::string& argument) {
  return "arg " + std::to_string(index) + " " + ToHex(argument);
}

HostWindow::HostWindow(int x, int y, int width, int height) {
  RegisterHostClass(WindowProc);
  window_ = ::CreateWindowExW(0, kHostClassName, L"engine test", WS_POPUP, x, y,
                              width, height, nullptr, nullptr,
                              ::GetModuleHandleW(nullptr), this);
}

HostWindow::~HostWindow() {
  if (window_) ::DestroyWindow(window_);
}

bool HostWindow::Start(const flutter::EngineProject& project) {
  RECT client = {};
  ::GetClientRect(window_, &client);
  controller_ = std::make_unique<flutter::FlutterViewController>(
      client.right - client.left, client.bottom - client.top, project);
  if (!controller_->GetView()) return false;
  const HWND view = controller_->GetView()->GetWindowHandle();
  ::SetParent(view, window_);
  ::MoveWindow(view, 0, 0, client.right - client.left,
               client.bottom - client.top, TRUE);
  controller_->GetEngine()->SetNextFrameCallback([this] {
    ++frames_;
    ::ShowWindow(window_, SW_SHOWNOACTIVATE);
  });
  controller_->ForceRedraw();
  return true;
}

LRESULT CALLBACK HostWindow::WindowProc(HWND window, UINT message,
                                        WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* host =
      reinterpret_cast<HostWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (host && message == WM_DESTROY) {
    // As the application's window does: the engine goes with the window.
    host->controller_.reset();
    host->window_ = nullptr;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace engine_test
