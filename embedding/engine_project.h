// What the engine runs: the asset folder, the ICU data, the compiled
// application library and the entry-point arguments.
#ifndef KEELHAVEN_EMBEDDING_ENGINE_PROJECT_H_
#define KEELHAVEN_EMBEDDING_ENGINE_PROJECT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace flutter {

class EngineProject {
 public:
  // The paths are base_path followed by "\flutter_assets", "\icudtl.dat"
  // and "\app.so", joined as they are: a relative base gives relative paths,
  // which the engine receives unchanged.
  explicit EngineProject(const std::wstring& base_path);

  // Replaces the entry-point arguments (UTF-8).
  void SetEntrypointArguments(std::vector<std::string> arguments);

  const std::wstring& assets_path() const { return assets_path_; }
  const std::wstring& icu_data_path() const { return icu_data_path_; }
  const std::wstring& aot_library_path() const { return aot_library_path_; }
  // Empty: the engine's default entry point.
  const std::string& dart_entrypoint() const { return dart_entrypoint_; }
  const std::vector<std::string>& dart_entrypoint_arguments() const {
    return dart_entrypoint_arguments_;
  }
  // Two settings passed through to the engine unread; both 0.
  int32_t engine_option_1() const { return engine_option_1_; }
  int32_t engine_option_2() const { return engine_option_2_; }

 private:
  std::wstring assets_path_;
  std::wstring icu_data_path_;
  std::wstring aot_library_path_;
  std::string dart_entrypoint_;
  std::vector<std::string> dart_entrypoint_arguments_;
  int32_t engine_option_1_ = 0;
  int32_t engine_option_2_ = 0;
};

}  // namespace flutter

#endif  // KEELHAVEN_EMBEDDING_ENGINE_PROJECT_H_
