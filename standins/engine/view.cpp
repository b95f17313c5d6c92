// The stand-in's view: a child window that paints the name and the last
// reply, reports frames, and plays the script from its message loop.
#include <string>

#include "standins/engine/engine_state.h"

namespace standin {
namespace {

constexpr wchar_t kViewClassName[] = L"KeelhavenEngineView";

HMODULE ThisModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

FlutterDesktopEngine* EngineOf(HWND window) {
  auto* view = reinterpret_cast<FlutterDesktopView*>(
      ::GetWindowLongPtrW(window, GWLP_USERDATA));
  return view ? view->engine : nullptr;
}

void Paint(HWND window, const FlutterDesktopEngine& engine) {
  PAINTSTRUCT paint;
  const HDC dc = ::BeginPaint(window, &paint);
  RECT client;
  ::GetClientRect(window, &client);
  const HBRUSH background = ::CreateSolidBrush(RGB(0x12, 0x18, 0x24));
  ::FillRect(dc, &client, background);
  ::DeleteObject(background);
  ::SetBkMode(dc, TRANSPARENT);

  UniqueFont title(::CreateFontW(-56, 0, 0, 0, FW_SEMIBOLD, FALSE, FALSE, FALSE,
                                 DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                 DEFAULT_PITCH, L"Segoe UI"));
  UniqueFont status(::CreateFontW(-18, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                  DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                  DEFAULT_PITCH, L"Segoe UI"));
  const int middle = (client.top + client.bottom) / 2;
  RECT upper = {client.left, client.top, client.right, middle};
  RECT lower = {client.left, middle + 16, client.right, client.bottom};
  const HGDIOBJ previous = ::SelectObject(dc, title.get());
  ::SetTextColor(dc, RGB(0xe8, 0xee, 0xf6));
  ::DrawTextW(dc, L"Keelhaven", -1, &upper,
              DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
  ::SelectObject(dc, status.get());
  ::SetTextColor(dc, RGB(0x8a, 0x9b, 0xb3));
  ::DrawTextW(dc, engine.status.c_str(), -1, &lower,
              DT_CENTER | DT_TOP | DT_SINGLELINE | DT_END_ELLIPSIS);
  ::SelectObject(dc, previous);
  ::EndPaint(window, &paint);
}

void WriteRect(HWND window, Transcript* transcript) {
  RECT rect = {};
  ::GetWindowRect(::GetAncestor(window, GA_ROOT), &rect);
  transcript->Write("rect " + std::to_string(rect.left) + " " +
                    std::to_string(rect.top) + " " +
                    std::to_string(rect.right - rect.left) + " " +
                    std::to_string(rect.bottom - rect.top));
}

// Runs the next command of the script. Every command ends by arranging the
// next one through the message loop, never by running it directly.
void RunCommand(HWND window, FlutterDesktopEngine* engine) {
  if (engine->next_command >= engine->script.size()) return;
  const ScriptCommand& command = engine->script[engine->next_command++];
  switch (command.kind) {
    case ScriptCommand::Kind::kSend:
      // The host may shut the engine down from its handler: after this
      // call only the window handle is used, and a dead window takes no
      // messages.
      DeliverMessage(engine->messenger, command.channel, command.bytes);
      break;
    case ScriptCommand::Kind::kWait:
      ::SetTimer(window, kWaitTimer, command.milliseconds, nullptr);
      return;
    case ScriptCommand::Kind::kRect:
      WriteRect(window, engine->transcript.get());
      break;
    case ScriptCommand::Kind::kClose:
      // Posted, not sent: the host destroys everything, this window
      // included, and must not do so underneath this call.
      ::PostMessageW(::GetAncestor(window, GA_ROOT), WM_CLOSE, 0, 0);
      break;
  }
  ::PostMessageW(window, kRunCommandMessage, 0, 0);
}

void RunFrame(HWND window, FlutterDesktopEngine* engine) {
  if (engine->frame_callbacks.empty()) return;
  const FrameRegistration frame = engine->frame_callbacks.front();
  engine->frame_callbacks.pop_front();
  const bool visible = ::IsWindowVisible(::GetAncestor(window, GA_ROOT)) != 0;
  engine->transcript->Write(std::string("frame visible=") +
                            (visible ? "1" : "0"));
  const std::weak_ptr<char> alive = engine->alive;
  frame.callback(frame.user_data);
  if (alive.expired() || engine->script_started) return;
  engine->script_started = true;
  ::PostMessageW(window, kRunCommandMessage, 0, 0);
}

void DeliverReply(FlutterDesktopEngine* engine) {
  if (engine->pending_replies.empty()) return;
  const PendingReply pending = engine->pending_replies.front();
  engine->pending_replies.pop_front();
  pending.reply(nullptr, 0, pending.user_data);
}

LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wparam,
                          LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  FlutterDesktopEngine* engine = EngineOf(window);
  if (!engine) return ::DefWindowProcW(window, message, wparam, lparam);
  switch (message) {
    case WM_PAINT:
      Paint(window, *engine);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      ::InvalidateRect(window, nullptr, TRUE);
      return 0;
    case kRunFrameMessage:
      RunFrame(window, engine);
      return 0;
    case kRunCommandMessage:
      RunCommand(window, engine);
      return 0;
    case kDeliverReplyMessage:
      DeliverReply(engine);
      return 0;
    case WM_TIMER:
      if (wparam != kWaitTimer) break;
      ::KillTimer(window, kWaitTimer);
      ::PostMessageW(window, kRunCommandMessage, 0, 0);
      return 0;
    case WM_NCDESTROY: {
      // Destroyed with the host's window: the view no longer owns it.
      auto* view = reinterpret_cast<FlutterDesktopView*>(
          ::GetWindowLongPtrW(window, GWLP_USERDATA));
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (view->window.get() == window) view->window.release();
      break;
    }
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

bool RegisterViewClass(HINSTANCE instance) {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = ViewProc;
  window_class.hInstance = instance;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = kViewClassName;
  return ::RegisterClassExW(&window_class) != 0 ||
         ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

bool CreateViewWindow(FlutterDesktopView* view, int width, int height) {
  const HINSTANCE instance = ThisModule();
  if (!RegisterViewClass(instance)) return false;
  view->holder.reset(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, width,
                                       height, nullptr, nullptr, instance,
                                       nullptr));
  if (!view->holder) return false;
  view->window.reset(::CreateWindowExW(
      0, kViewClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
      width, height, view->holder.get(), nullptr, instance, view));
  return view->window.valid();
}

}  // namespace standin
