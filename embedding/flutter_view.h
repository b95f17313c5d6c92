// The engine's view: a child window the host places in its own window.
#ifndef KEELHAVEN_EMBEDDING_FLUTTER_VIEW_H_
#define KEELHAVEN_EMBEDDING_FLUTTER_VIEW_H_

#include "embedding/engine_api.h"
#include "util/windows_include.h"

namespace flutter {

class FlutterView {
 public:
  // view is not owned: it belongs to the view controller.
  explicit FlutterView(FlutterDesktopViewRef view) : view_(view) {}
  virtual ~FlutterView() = default;
  FlutterView(const FlutterView&) = delete;
  FlutterView& operator=(const FlutterView&) = delete;

  HWND GetWindowHandle() const { return FlutterDesktopViewGetHWND(view_); }

 private:
  FlutterDesktopViewRef view_;
};

}  // namespace flutter

#endif  // KEELHAVEN_EMBEDDING_FLUTTER_VIEW_H_
