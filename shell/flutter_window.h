// The application's window: a Win32Window that starts the engine on the
// project once its native window exists, places the engine's view in its
// client area, shows itself after the engine's first frame and releases the
// engine when the native window goes. It serves the tunnel channel, hands
// its calls to the tunnel controller and calls the controller's hooks as
// its life goes on; it knows nothing of WireGuard.
#ifndef KEELHAVEN_SHELL_FLUTTER_WINDOW_H_
#define KEELHAVEN_SHELL_FLUTTER_WINDOW_H_

#include <memory>

#include "codec/encodable_value.h"
#include "embedding/engine_project.h"
#include "embedding/flutter_view_controller.h"
#include "embedding/method_channel.h"
#include "shell/win32_window.h"
#include "tunnel/tunnel_controller.h"

class FlutterWindow : public Win32Window {
 public:
  // Keeps a copy of project.
  explicit FlutterWindow(const flutter::EngineProject& project);
  // Takes down a tunnel that may still be up (the native window was never
  // destroyed, or its teardown could not see the service gone).
  ~FlutterWindow() override;

 protected:
  // Starts the engine with a view of the client area's size and serves the
  // tunnel channel. False when the engine refuses the view controller.
  bool OnCreate() override;
  // Releases the engine and takes down a tunnel that may be up.
  void OnDestroy() override;
  // Session end and console close (kConsoleClosingMessage) take a tunnel
  // that may be up down without starting any program; the rest goes to
  // Win32Window.
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam,
                        LPARAM lparam) noexcept override;

 private:
  flutter::EngineProject project_;
  // The engine and its view, while the native window lives.
  std::unique_ptr<flutter::FlutterViewController> view_controller_;
  // Created once the engine runs; kept until the destructor.
  std::unique_ptr<flutter::MethodChannel<flutter::EncodableValue>>
      tunnel_channel_;
  // The tunnel state and its procedures; the channel's handler calls into
  // it while the engine runs.
  TunnelController tunnel_;
};

#endif  // KEELHAVEN_SHELL_FLUTTER_WINDOW_H_
