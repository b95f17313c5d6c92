// The stand-in's engine and view controller: creation from the entry-point
// arguments, next-frame registrations, and shutdown.
#include <cstdlib>
#include <string>

#include "standins/engine/engine_state.h"

namespace standin {
namespace {

constexpr char kScriptArgument[] = "--script=";
constexpr char kTranscriptArgument[] = "--transcript=";

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

std::string PathLine(const char* name, const wchar_t* path) {
  std::string line = name;
  if (path) line += std::string(" ") + ToUtf8(path);
  return line;
}

// Reads at most kMaxScriptBytes; a longer script is refused, not cut.
bool ReadScript(const std::wstring& path, std::string* text) {
  UniqueFileHandle file(::CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
      size.QuadPart > static_cast<LONGLONG>(kMaxScriptBytes)) {
    return false;
  }
  text->assign(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!text->empty() &&
      (!::ReadFile(file.get(), &(*text)[0], static_cast<DWORD>(text->size()),
                   &read, nullptr) ||
       read != text->size())) {
    return false;
  }
  return true;
}

void LoadScript(FlutterDesktopEngine* engine, const std::string& path) {
  std::string text;
  if (!ReadScript(ToWide(path), &text)) {
    engine->transcript->Write("error script unreadable " + path);
    return;
  }
  std::string error;
  if (!ParseScript(text, &engine->script, &error)) {
    engine->transcript->Write("error script " + error);
  }
}

void WriteCreation(const FlutterDesktopEngineProperties& properties,
                   Transcript* transcript) {
  const int count = properties.dart_entrypoint_argc;
  transcript->Write("args " + std::to_string(count));
  if (!properties.dart_entrypoint_argv) transcript->Write("argv null");
  for (int i = 0; properties.dart_entrypoint_argv && i < count; ++i) {
    const char* argument = properties.dart_entrypoint_argv[i];
    transcript->Write("arg " + std::to_string(i) + " " +
                      Hex(argument ? std::string(argument) : std::string()));
  }
  transcript->Write(PathLine("assets", properties.assets_path));
  transcript->Write(PathLine("icu", properties.icu_data_path));
  transcript->Write(PathLine("aot", properties.aot_library_path));
}

void PostFrames(FlutterDesktopEngine* engine, size_t count) {
  const HWND view = ViewWindow(engine);
  if (!view) return;
  for (size_t i = 0; i < count; ++i) {
    ::PostMessageW(view, kRunFrameMessage, 0, 0);
  }
}

}  // namespace

std::string EnvironmentValue(const wchar_t* name) {
  const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(name, &value[0], size);
  if (length == 0 || length >= size) return {};
  value.resize(length);
  return ToUtf8(value);
}

HWND ViewWindow(const FlutterDesktopEngine* engine) {
  if (!engine || !engine->controller) return nullptr;
  return engine->controller->view.window.get();
}

void DestroyEngine(FlutterDesktopEngine* engine) {
  FlutterDesktopMessengerRef messenger = engine->messenger;
  {
    std::lock_guard<std::recursive_mutex> lock(messenger->mutex);
    messenger->available = false;
    messenger->engine = nullptr;
    engine->transcript->Write("shutdown refs=" +
                              std::to_string(messenger->references - 1));
  }
  FlutterDesktopMessengerRelease(messenger);
  delete engine;
}

}  // namespace standin

using standin::Transcript;

FlutterDesktopEngineRef FlutterDesktopEngineCreate(
    const FlutterDesktopEngineProperties* properties) {
  if (!properties ||
      standin::EnvironmentValue(L"STANDIN_ENGINE_FAIL_ENGINE") == "1") {
    return nullptr;
  }
  std::string script_path = standin::EnvironmentValue(L"STANDIN_ENGINE_SCRIPT");
  std::string transcript_path =
      standin::EnvironmentValue(L"STANDIN_ENGINE_TRANSCRIPT");
  for (int i = 0;
       properties->dart_entrypoint_argv && i < properties->dart_entrypoint_argc;
       ++i) {
    const char* argument = properties->dart_entrypoint_argv[i];
    if (!argument) continue;
    const std::string text = argument;
    if (standin::StartsWith(text, standin::kScriptArgument)) {
      script_path = text.substr(sizeof(standin::kScriptArgument) - 1);
    } else if (standin::StartsWith(text, standin::kTranscriptArgument)) {
      transcript_path = text.substr(sizeof(standin::kTranscriptArgument) - 1);
    }
  }

  auto* engine = new FlutterDesktopEngine();
  engine->transcript = std::make_shared<Transcript>();
  if (!transcript_path.empty()) {
    engine->transcript->Open(standin::ToWide(transcript_path));
  }
  standin::WriteCreation(*properties, engine->transcript.get());
  if (!script_path.empty()) standin::LoadScript(engine, script_path);
  engine->messenger = standin::CreateMessenger(engine, engine->transcript);
  return engine;
}

bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine) {
  // An engine that a view controller owns goes with the controller.
  if (!engine || engine->controller) return false;
  standin::DestroyEngine(engine);
  return true;
}

FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(
    FlutterDesktopEngineRef engine) {
  return engine ? engine->messenger : nullptr;
}

FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine, const char* /*plugin_name*/) {
  return engine ? &engine->registrar : nullptr;
}

void FlutterDesktopEngineSetNextFrameCallback(
    FlutterDesktopEngineRef engine, FlutterDesktopOnNextFrameCallback callback,
    void* user_data) {
  if (!engine || !callback) return;
  engine->frame_callbacks.push_back({callback, user_data});
  // Without a view yet, the frame follows the view's creation.
  standin::PostFrames(engine, 1);
}

FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(
    int width, int height, FlutterDesktopEngineRef engine) {
  if (!engine || engine->controller || width < 0 || height < 0 ||
      standin::EnvironmentValue(L"STANDIN_ENGINE_FAIL_VIEW") == "1") {
    return nullptr;
  }
  auto* controller = new FlutterDesktopViewController();
  controller->engine = engine;
  controller->view.engine = engine;
  if (!standin::CreateViewWindow(&controller->view, width, height)) {
    delete controller;
    return nullptr;
  }
  engine->controller = controller;
  engine->transcript->Write("view " + std::to_string(width) + " " +
                            std::to_string(height));
  standin::PostFrames(engine, engine->frame_callbacks.size());
  return controller;
}

void FlutterDesktopViewControllerDestroy(
    FlutterDesktopViewControllerRef controller) {
  if (!controller) return;
  FlutterDesktopEngine* engine = controller->engine;
  // The window first, so that nothing it has queued reaches the engine.
  controller->view.window.reset();
  controller->view.holder.reset();
  engine->controller = nullptr;
  delete controller;
  standin::DestroyEngine(engine);
}

FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller) {
  return controller ? &controller->view : nullptr;
}

void FlutterDesktopViewControllerForceRedraw(
    FlutterDesktopViewControllerRef controller) {
  if (controller && controller->view.window) {
    ::InvalidateRect(controller->view.window.get(), nullptr, TRUE);
  }
}

HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  return view ? view->window.get() : nullptr;
}

uint32_t FlutterDesktopGetDpiForMonitor(HMONITOR /*monitor*/) {
  const std::string text = standin::EnvironmentValue(L"STANDIN_ENGINE_DPI");
  if (text.empty() || text.size() > 5 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return 96;
  }
  const unsigned long dpi = std::strtoul(text.c_str(), nullptr, 10);
  return dpi == 0 ? 96 : static_cast<uint32_t>(dpi);
}

void FlutterDesktopResyncOutputStreams(void) {
  // The stand-in writes nothing to the standard streams; nothing to follow.
}
