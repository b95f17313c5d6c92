// Hands out the engine library's registrar for a named plugin.
#ifndef KEELHAVEN_EMBEDDING_PLUGIN_REGISTRY_H_
#define KEELHAVEN_EMBEDDING_PLUGIN_REGISTRY_H_

#include <string>

#include "embedding/engine_api.h"

namespace flutter {

class PluginRegistry {
 public:
  virtual ~PluginRegistry() = default;

  // Null when there is no running engine.
  virtual FlutterDesktopPluginRegistrarRef GetPluginRegistrar(
      const std::string& plugin_name) = 0;
};

}  // namespace flutter

#endif  // KEELHAVEN_EMBEDDING_PLUGIN_REGISTRY_H_
