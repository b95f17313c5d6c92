#include "shell/flutter_window.h"

#include <utility>

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

  // Runs its commands to completion before the view is placed, so a slow
  // leftover check delays the window's first appearance.
  tunnel_.OnWindowCreated(view_controller_->GetEngine()->GetMessenger(),
                          tunnel_channel_);

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

void FlutterWindow::OnEndSession() {
  if (!tunnel_.tunnel_active()) return;
  // Shown in the list of programs holding up the log-off or shutdown.
  const bool blocking =
      ::ShutdownBlockReasonCreate(GetHandle(), L"Removing the VPN tunnel");
  tunnel_.OnWindowDestroyed();
  if (blocking) ::ShutdownBlockReasonDestroy(GetHandle());
}
