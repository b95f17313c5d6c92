#include "embedding/flutter_engine.h"

#include <iostream>
#include <utility>
#include <vector>

#include "embedding/guarded_call.h"

namespace flutter {

FlutterEngine::FlutterEngine(const EngineProject& project) {
  const std::vector<std::string>& arguments =
      project.dart_entrypoint_arguments();
  std::vector<const char*> argv;
  argv.reserve(arguments.size());
  for (const std::string& argument : arguments)
    argv.push_back(argument.c_str());

  FlutterDesktopEngineProperties properties = {};
  properties.assets_path = project.assets_path().c_str();
  properties.icu_data_path = project.icu_data_path().c_str();
  properties.aot_library_path = project.aot_library_path().c_str();
  properties.dart_entrypoint = project.dart_entrypoint().c_str();
  properties.dart_entrypoint_argc = static_cast<int>(argv.size());
  properties.dart_entrypoint_argv = argv.empty() ? nullptr : argv.data();
  properties.engine_option_1 = project.engine_option_1();
  properties.engine_option_2 = project.engine_option_2();

  engine_ = FlutterDesktopEngineCreate(&properties);
  if (!engine_) return;
  messenger_ = std::make_unique<BinaryMessengerImpl>(
      FlutterDesktopEngineGetMessenger(engine_));
}

FlutterEngine::~FlutterEngine() {
  if (engine_ && owns_engine_) FlutterDesktopEngineDestroy(engine_);
  engine_ = nullptr;
  next_frame_callback_ = nullptr;
  messenger_.reset();
}

FlutterDesktopPluginRegistrarRef FlutterEngine::GetPluginRegistrar(
    const std::string& plugin_name) {
  if (!engine_) {
    std::cerr << "Cannot get plugin registrar on an engine that isn't "
                 "running; call Run first."
              << std::endl;
    return nullptr;
  }
  return FlutterDesktopEngineGetPluginRegistrar(engine_, plugin_name.c_str());
}

FlutterDesktopEngineRef FlutterEngine::ReleaseEngineHandle() {
  owns_engine_ = false;
  return engine_;
}

void FlutterEngine::SetNextFrameCallback(std::function<void()> callback) {
  next_frame_callback_ = std::move(callback);
  if (!engine_) return;
  FlutterDesktopEngineSetNextFrameCallback(engine_, OnNextFrame, this);
}

void FlutterEngine::OnNextFrame(void* user_data) noexcept {
  auto* engine = static_cast<FlutterEngine*>(user_data);
  // Taken out before it runs, so that the callable may register the next
  // callback from inside itself without losing it, and is never destroyed
  // while it runs. With nothing stored (a second frame for one callable)
  // there is nothing to do.
  std::function<void()> callback = std::move(engine->next_frame_callback_);
  engine->next_frame_callback_ = nullptr;
  if (callback) GuardedCall("Next-frame callback", "", callback);
}

}  // namespace flutter
