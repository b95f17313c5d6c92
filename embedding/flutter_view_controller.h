// Starts an engine with a view of a given size and owns both.
#ifndef KEELHAVEN_EMBEDDING_FLUTTER_VIEW_CONTROLLER_H_
#define KEELHAVEN_EMBEDDING_FLUTTER_VIEW_CONTROLLER_H_

#include <memory>

#include "embedding/engine_api.h"
#include "embedding/engine_project.h"
#include "embedding/flutter_engine.h"
#include "embedding/flutter_view.h"

namespace flutter {

// When the engine library refuses the view controller, the line "Failed to
// create view controller." goes to standard error and the controller has an
// engine object but no view (GetView gives null); its destruction then
// calls nothing in the engine library.
class FlutterViewController {
 public:
  // width and height in physical pixels.
  FlutterViewController(int width, int height, const EngineProject& project);
  virtual ~FlutterViewController();
  FlutterViewController(const FlutterViewController&) = delete;
  FlutterViewController& operator=(const FlutterViewController&) = delete;

  // Not owned; never null.
  FlutterEngine* GetEngine() { return engine_.get(); }
  // Not owned; null when creation failed.
  FlutterView* GetView() { return view_.get(); }

  // Schedules a new frame. Only for a controller that has a view.
  void ForceRedraw();

 private:
  FlutterDesktopViewControllerRef controller_ = nullptr;
  std::shared_ptr<FlutterEngine> engine_;
  std::unique_ptr<FlutterView> view_;
};

}  // namespace flutter

#endif  // KEELHAVEN_EMBEDDING_FLUTTER_VIEW_CONTROLLER_H_
