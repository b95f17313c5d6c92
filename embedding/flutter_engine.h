// One engine instance: its handle, its messenger and the next-frame
// callback.
#ifndef KEELHAVEN_EMBEDDING_FLUTTER_ENGINE_H_
#define KEELHAVEN_EMBEDDING_FLUTTER_ENGINE_H_

#include <functional>
#include <memory>
#include <string>

#include "embedding/binary_messenger.h"
#include "embedding/binary_messenger_impl.h"
#include "embedding/engine_api.h"
#include "embedding/engine_project.h"
#include "embedding/plugin_registry.h"

namespace flutter {

// Creates the engine at construction and destroys it at destruction unless
// the handle was released to a view controller, which then owns the engine.
// When the engine library refuses to create an engine, the object holds no
// handle and no messenger: GetMessenger gives null, and a view controller
// made from it fails.
class FlutterEngine : public PluginRegistry {
 public:
  explicit FlutterEngine(const EngineProject& project);
  ~FlutterEngine() override;
  FlutterEngine(const FlutterEngine&) = delete;
  FlutterEngine& operator=(const FlutterEngine&) = delete;

  FlutterDesktopPluginRegistrarRef GetPluginRegistrar(
      const std::string& plugin_name) override;

  // Gives up ownership of the engine; the handle stays stored for the
  // calls that need it.
  FlutterDesktopEngineRef ReleaseEngineHandle();

  // Runs callback once, after the engine's next frame. This object must
  // outlive the pending callback (it lives as long as its view controller).
  void SetNextFrameCallback(std::function<void()> callback);

  // Not owned; null when there is no engine.
  BinaryMessenger* GetMessenger() { return messenger_.get(); }

 private:
  static void OnNextFrame(void* user_data) noexcept;

  FlutterDesktopEngineRef engine_ = nullptr;
  std::unique_ptr<BinaryMessengerImpl> messenger_;
  bool owns_engine_ = true;
  std::function<void()> next_frame_callback_;
};

}  // namespace flutter

#endif  // KEELHAVEN_EMBEDDING_FLUTTER_ENGINE_H_
