// The stand-in's engine and view controller: creation from the entry-point
// arguments, next-frame registrations, the script played on the view's
// message loop, and shutdown.
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "standins/common/text.h"
#include "standins/engine/messenger.h"
#include "standins/engine/script.h"
#include "standins/engine/transcript.h"
#include "standins/engine/view.h"

using standin::ViewWork;

struct FlutterDesktopPluginRegistrar {
  FlutterDesktopEngine* engine;
};

struct FlutterDesktopViewController {
  FlutterDesktopEngine* engine = nullptr;
  FlutterDesktopView view;
};

struct FlutterDesktopEngine {
  std::shared_ptr<standin::Transcript> transcript;
  FlutterDesktopMessengerRef messenger = nullptr;
  FlutterDesktopPluginRegistrar registrar{this};
  // Set while a view controller owns the engine.
  FlutterDesktopViewController* controller = nullptr;

  struct Frame {
    FlutterDesktopOnNextFrameCallback callback;
    void* user_data;
  };
  std::deque<Frame> frame_callbacks;

  std::vector<standin::ScriptCommand> script;
  size_t next_command = 0;
  bool script_started = false;

  // Expires with the engine: lets code that called into the host find out
  // whether the engine survived the call.
  std::shared_ptr<char> alive = std::make_shared<char>();

  // The view's window, or null when it does not exist (yet, or any more).
  HWND ViewWindow() const {
    return controller ? controller->view.window.get() : nullptr;
  }
  bool Post(ViewWork work) const {
    const HWND view = ViewWindow();
    return view && ::PostMessageW(view, static_cast<UINT>(work), 0, 0);
  }
  void RunFrame();
  void RunCommand();
};

namespace standin {
namespace {

constexpr char kScriptArgument[] = "--script=";
constexpr char kTranscriptArgument[] = "--transcript=";

std::string PathLine(const char* name, const wchar_t* path) {
  std::string line = name;
  if (path) line += std::string(" ") + ToUtf8(path);
  return line;
}

// Reads an environment variable as UTF-8; empty when it is not set.
std::string EnvironmentValue(const wchar_t* name) {
  const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(name, &value[0], size);
  if (length == 0 || length >= size) return {};
  value.resize(length);
  return ToUtf8(value);
}

void LoadScript(FlutterDesktopEngine* engine, const std::string& path) {
  // Reads at most kMaxScriptBytes; a longer script is refused, not cut.
  const std::unique_ptr<FILE, int (*)(FILE*)> file(
      ::_wfopen(ToWide(path).c_str(), L"rb"), &std::fclose);
  std::string text(kMaxScriptBytes + 1, '\0');
  if (file) text.resize(std::fread(&text[0], 1, text.size(), file.get()));
  if (!file || std::ferror(file.get()) || text.size() > kMaxScriptBytes) {
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
    if (!argument) argument = "";
    transcript->Write("arg " + std::to_string(i) + " " + ToHex(argument));
  }
  transcript->Write(PathLine("assets", properties.assets_path));
  transcript->Write(PathLine("icu", properties.icu_data_path));
  transcript->Write(PathLine("aot", properties.aot_library_path));
}

void WriteRect(HWND window, Transcript* transcript) {
  RECT rect = {};
  ::GetWindowRect(::GetAncestor(window, GA_ROOT), &rect);
  transcript->Write("rect " + std::to_string(rect.left) + " " +
                    std::to_string(rect.top) + " " +
                    std::to_string(rect.right - rect.left) + " " +
                    std::to_string(rect.bottom - rect.top));
}

}  // namespace
}  // namespace standin

// Runs the next command of the script. Every command ends by arranging the
// next one through the message loop, never by running it directly.
void FlutterDesktopEngine::RunCommand() {
  if (next_command >= script.size()) return;
  const HWND window = ViewWindow();
  const standin::ScriptCommand& command = script[next_command++];
  switch (command.kind) {
    case standin::ScriptCommand::Kind::kSend:
      // The host may shut the engine down from its handler: after this
      // call only the window handle is used, and a dead window takes no
      // messages.
      standin::DeliverMessage(messenger, command.channel, command.bytes);
      break;
    case standin::ScriptCommand::Kind::kWait:
      ::SetTimer(window, static_cast<UINT_PTR>(ViewWork::kRunCommand),
                 command.milliseconds, nullptr);
      return;
    case standin::ScriptCommand::Kind::kRect:
      standin::WriteRect(window, transcript.get());
      break;
    case standin::ScriptCommand::Kind::kClose:
      // Posted, not sent: the host destroys everything, this window
      // included, and must not do so underneath this call.
      ::PostMessageW(::GetAncestor(window, GA_ROOT), WM_CLOSE, 0, 0);
      break;
  }
  ::PostMessageW(window, static_cast<UINT>(ViewWork::kRunCommand), 0, 0);
}

void FlutterDesktopEngine::RunFrame() {
  if (frame_callbacks.empty()) return;
  const Frame frame = frame_callbacks.front();
  frame_callbacks.pop_front();
  const bool visible =
      ::IsWindowVisible(::GetAncestor(ViewWindow(), GA_ROOT)) != 0;
  transcript->Write(std::string("frame visible=") + (visible ? "1" : "0"));
  const std::weak_ptr<char> survived = alive;
  frame.callback(frame.user_data);
  if (survived.expired() || script_started) return;
  script_started = true;
  Post(ViewWork::kRunCommand);
}

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
    if (text.rfind(standin::kScriptArgument, 0) == 0) {
      script_path = text.substr(sizeof(standin::kScriptArgument) - 1);
    } else if (text.rfind(standin::kTranscriptArgument, 0) == 0) {
      transcript_path = text.substr(sizeof(standin::kTranscriptArgument) - 1);
    }
  }

  auto* engine = new FlutterDesktopEngine();
  engine->transcript = std::make_shared<standin::Transcript>();
  if (!transcript_path.empty()) {
    engine->transcript->Open(standin::ToWide(transcript_path));
  }
  standin::WriteCreation(*properties, engine->transcript.get());
  if (!script_path.empty()) standin::LoadScript(engine, script_path);
  engine->messenger = standin::CreateMessenger(engine->transcript, [engine] {
    const HWND view = engine->ViewWindow();
    if (view) ::InvalidateRect(view, nullptr, TRUE);
  });
  return engine;
}

bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine) {
  // An engine that a view controller owns goes with the controller.
  if (!engine || engine->controller) return false;
  standin::ShutDownMessenger(engine->messenger);
  delete engine;
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
  engine->Post(ViewWork::kRunFrame);
}

FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(
    int width, int height, FlutterDesktopEngineRef engine) {
  if (!engine || engine->controller || width < 0 || height < 0 ||
      standin::EnvironmentValue(L"STANDIN_ENGINE_FAIL_VIEW") == "1") {
    return nullptr;
  }
  auto* controller = new FlutterDesktopViewController();
  controller->engine = engine;
  controller->view.run = [engine](ViewWork work) {
    if (work == ViewWork::kRunFrame) return engine->RunFrame();
    engine->RunCommand();
  };
  controller->view.status = &standin::MessengerStatus(engine->messenger);
  if (!standin::CreateViewWindow(&controller->view, width, height)) {
    delete controller;
    return nullptr;
  }
  engine->controller = controller;
  engine->transcript->Write("view " + std::to_string(width) + " " +
                            std::to_string(height));
  for (size_t i = 0; i < engine->frame_callbacks.size(); ++i) {
    engine->Post(ViewWork::kRunFrame);
  }
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
  standin::ShutDownMessenger(engine->messenger);
  delete engine;
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
