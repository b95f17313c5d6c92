#include "embedding/flutter_view_controller.h"

#include <iostream>

namespace flutter {

FlutterViewController::FlutterViewController(int width, int height,
                                             const EngineProject& project) {
  engine_ = std::make_shared<FlutterEngine>(project);
  // From here on the engine library, not the engine object, ends the engine.
  FlutterDesktopEngineRef engine = engine_->ReleaseEngineHandle();
  if (engine) {
    controller_ = FlutterDesktopViewControllerCreate(width, height, engine);
  }
  if (!controller_) {
    std::cerr << "Failed to create view controller." << std::endl;
    return;
  }
  view_ = std::make_unique<FlutterView>(
      FlutterDesktopViewControllerGetView(controller_));
}

FlutterViewController::~FlutterViewController() {
  // The library releases the view and the engine; the wrappers go after,
  // and nothing is sent through the messenger in between.
  if (controller_) FlutterDesktopViewControllerDestroy(controller_);
  view_.reset();
  engine_.reset();
}

void FlutterViewController::ForceRedraw() {
  FlutterDesktopViewControllerForceRedraw(controller_);
}

}  // namespace flutter
