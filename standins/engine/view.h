// The stand-in's view: a child window that paints the name and a status
// line, and hands the work posted to it back to its owner on the message
// loop. It knows nothing of the engine.
#ifndef KEELHAVEN_STANDINS_ENGINE_VIEW_H_
#define KEELHAVEN_STANDINS_ENGINE_VIEW_H_

#include <functional>
#include <string>

#include "embedding/engine_api.h"
#include "util/unique_handle.h"

namespace standin {

struct WindowTraits {
  using Type = HWND;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type window) noexcept { ::DestroyWindow(window); }
};
using UniqueWindow = UniqueHandle<WindowTraits>;

// Messages posted to the view's window for its owner. A timer of the view
// (its id one of them) posts its message when it fires, once.
enum class ViewWork : UINT { kRunFrame = WM_APP + 1, kRunCommand };

// Creates the view window of the given size; false when Windows refuses.
bool CreateViewWindow(FlutterDesktopView* view, int width, int height);

}  // namespace standin

struct FlutterDesktopView {
  // The view is created as a child of a hidden holder window, as a child
  // window needs a parent; the host then moves it into its own window.
  standin::UniqueWindow holder;
  standin::UniqueWindow window;
  // Runs the work posted to the window; it may destroy the view.
  std::function<void(standin::ViewWork)> run;
  const std::wstring* status = nullptr;  // the line under the name
};

#endif  // KEELHAVEN_STANDINS_ENGINE_VIEW_H_
