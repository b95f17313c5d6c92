// What the stand-in engine keeps behind the opaque handles of the engine C
// interface. Everything runs on the thread of the window's message loop;
// the messenger lock is real all the same, as the host relies on it.
#ifndef KEELHAVEN_STANDINS_ENGINE_ENGINE_STATE_H_
#define KEELHAVEN_STANDINS_ENGINE_ENGINE_STATE_H_

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "embedding/engine_api.h"
#include "standins/engine/script.h"
#include "standins/engine/transcript.h"
#include "util/unique_handle.h"

struct FlutterDesktopMessageResponseHandle {
  std::string channel;
  bool answered = false;
};

struct FlutterDesktopMessenger {
  std::recursive_mutex mutex;
  // One reference is the engine's own; the rest are the host's.
  int references = 1;
  // False from engine shutdown on.
  bool available = true;
  // Null from engine shutdown on.
  FlutterDesktopEngine* engine = nullptr;
  std::shared_ptr<standin::Transcript> transcript;

  struct Route {
    FlutterDesktopMessageCallback callback;
    void* user_data;
  };
  std::map<std::string, Route> routes;
  // Every handle handed out, answered or not, so that a second answer or a
  // handle that was never ours is recognised. A script is bounded, and so
  // is this.
  std::map<const FlutterDesktopMessageResponseHandle*,
           std::unique_ptr<FlutterDesktopMessageResponseHandle>>
      responses;
};

struct FlutterDesktopPluginRegistrar {
  FlutterDesktopEngine* engine;
};

namespace standin {

struct WindowTraits {
  using Type = HWND;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type window) noexcept { ::DestroyWindow(window); }
};
using UniqueWindow = UniqueHandle<WindowTraits>;

struct FontTraits {
  using Type = HFONT;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type font) noexcept { ::DeleteObject(font); }
};
using UniqueFont = UniqueHandle<FontTraits>;

struct FrameRegistration {
  FlutterDesktopOnNextFrameCallback callback;
  void* user_data;
};

struct PendingReply {
  FlutterDesktopBinaryReply reply;
  void* user_data;
};

}  // namespace standin

struct FlutterDesktopView {
  // The view is created as a child of a hidden holder window, as a child
  // window needs a parent; the host then moves it into its own window.
  standin::UniqueWindow holder;
  standin::UniqueWindow window;
  FlutterDesktopEngine* engine = nullptr;
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

  std::deque<standin::FrameRegistration> frame_callbacks;
  std::deque<standin::PendingReply> pending_replies;

  std::vector<standin::ScriptCommand> script;
  size_t next_command = 0;
  bool script_started = false;

  // What the view shows under the name.
  std::wstring status = L"Waiting for the user interface";

  // Expires with the engine: lets code that called into the host find out
  // whether the engine survived the call.
  std::shared_ptr<char> alive = std::make_shared<char>();
};

namespace standin {

// Messages the view window posts to itself.
constexpr UINT kRunFrameMessage = WM_APP + 1;
constexpr UINT kRunCommandMessage = WM_APP + 2;
constexpr UINT kDeliverReplyMessage = WM_APP + 3;
constexpr UINT_PTR kWaitTimer = 1;

// The view's window, or null when it does not exist (yet, or any more).
HWND ViewWindow(const FlutterDesktopEngine* engine);

// Shuts the engine down: writes the shutdown line, turns the messenger
// unavailable, gives back the engine's reference and frees the engine.
void DestroyEngine(FlutterDesktopEngine* engine);

FlutterDesktopMessengerRef CreateMessenger(
    FlutterDesktopEngine* engine, std::shared_ptr<Transcript> transcript);

// Plays one incoming message on the channel to the host, with a fresh
// response handle, or writes "unhandled <channel>". The engine may be gone
// when this returns.
void DeliverMessage(FlutterDesktopMessengerRef messenger,
                    const std::string& channel,
                    const std::vector<uint8_t>& bytes);

// Creates the view window of the given size; false when Windows refuses.
bool CreateViewWindow(FlutterDesktopView* view, int width, int height);

// Reads an environment variable as UTF-8; empty when it is not set.
std::string EnvironmentValue(const wchar_t* name);

}  // namespace standin

#endif  // KEELHAVEN_STANDINS_ENGINE_ENGINE_STATE_H_
