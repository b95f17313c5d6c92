#include "shell/flutter_window.h"

#include <string>
#include <utility>

#include "codec/standard_method_codec.h"
#include "shell/console_close.h"
#include "util/native_log.h"

namespace {

// Shown in the list of programs holding up a log-off or shutdown.
constexpr wchar_t kBlockReason[] = L"Removing the VPN tunnel";

}  // namespace

FlutterWindow::FlutterWindow(const flutter::EngineProject& project)
    : project_(project) {}

FlutterWindow::~FlutterWindow() { tunnel_.OnWindowDestructing(); }

bool FlutterWindow::OnCreate() {
  if (!Win32Window::OnCreate()) return false;

  const RECT frame = GetClientRectangle();
  auto controller = std::make_unique<flutter::FlutterViewController>(
      frame.right - frame.left, frame.bottom - frame.top, project_);
  // A previous controller goes only after the new one is stored.
  view_controller_.swap(controller);
  controller.reset();
  if (!view_controller_->GetEngine() || !view_controller_->GetView()) {
    return false;
  }

  auto channel =
      std::make_unique<flutter::MethodChannel<flutter::EncodableValue>>(
          view_controller_->GetEngine()->GetMessenger(), kChannelName,
          &flutter::StandardMethodCodec::GetInstance());
  // A previous channel goes only after the new one is stored.
  tunnel_channel_.swap(channel);
  channel.reset();
  tunnel_channel_->SetCallHandler(
      [this](const flutter::MethodCall<flutter::EncodableValue>& call,
             std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>>
                 result) {
        tunnel_.HandleTunnelMethodCall(call, std::move(result));
      });
  NativeLog(std::string("MethodChannel registered: ") + kChannelName);
  // Runs its commands to completion before the view is placed, so a slow
  // leftover check delays the window's first appearance.
  tunnel_.OnWindowCreated();

  SetContentWindow(view_controller_->GetView()->GetWindowHandle());
  // Created hidden; shown once there is something to see.
  view_controller_->GetEngine()->SetNextFrameCallback([this]() { Show(); });
  view_controller_->ForceRedraw();
  return true;
}

void FlutterWindow::OnDestroy() {
  if (view_controller_) {
    // Emptied before the controller goes, so nothing reaches it meanwhile.
    std::unique_ptr<flutter::FlutterViewController> released =
        std::move(view_controller_);
    released.reset();
  }
  tunnel_.OnWindowDestroyed();
  Win32Window::OnDestroy();
}

LRESULT FlutterWindow::HandleMessage(HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam) noexcept {
  switch (message) {
    case WM_QUERYENDSESSION:
      // Never refused; Windows shows the reason while the tunnel goes.
      if (tunnel_.tunnel_may_be_up()) {
        ::ShutdownBlockReasonCreate(window, kBlockReason);
      }
      return TRUE;

    case WM_ENDSESSION:
      // Once this returns with the session ending, the process may be ended
      // at any moment, without WM_CLOSE or WM_DESTROY.
      if (wparam) tunnel_.OnSessionEnd();
      ::ShutdownBlockReasonDestroy(window);
      return 0;

    case kConsoleClosingMessage:
      // Windows ends the process a few seconds after its console closes.
      tunnel_.OnSessionEnd();
      ::PostMessageW(window, WM_CLOSE, 0, 0);
      return 0;
  }
  return Win32Window::HandleMessage(window, message, wparam, lparam);
}
