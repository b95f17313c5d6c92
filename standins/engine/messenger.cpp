// The stand-in's messenger: channel routing, replies with the once-only
// check, reference counts, the lock and the availability flag.
#include <string>

#include "standins/engine/engine_state.h"

namespace standin {

FlutterDesktopMessengerRef CreateMessenger(
    FlutterDesktopEngine* engine, std::shared_ptr<Transcript> transcript) {
  auto* messenger = new FlutterDesktopMessenger();
  messenger->engine = engine;
  messenger->transcript = std::move(transcript);
  return messenger;
}

void DeliverMessage(FlutterDesktopMessengerRef messenger,
                    const std::string& channel,
                    const std::vector<uint8_t>& bytes) {
  const auto route = messenger->routes.find(channel);
  if (route == messenger->routes.end()) {
    messenger->transcript->Write("unhandled " + channel);
    return;
  }
  auto handle = std::make_unique<FlutterDesktopMessageResponseHandle>();
  handle->channel = channel;
  // The bytes may belong to the engine's script, and the host may shut the
  // engine down from inside its callback: the message it reads is a copy
  // that lives for the whole call.
  const std::vector<uint8_t> payload = bytes;
  FlutterDesktopMessage message = {};
  message.struct_size = sizeof(message);
  message.channel = handle->channel.c_str();
  message.message = payload.empty() ? nullptr : payload.data();
  message.message_size = payload.size();
  message.response_handle = handle.get();
  messenger->responses.emplace(handle.get(), std::move(handle));
  // Copied out: the host may change the routes from inside the callback.
  const FlutterDesktopMessenger::Route target = route->second;
  target.callback(messenger, &message, target.user_data);
}

}  // namespace standin

using standin::PendingReply;

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger,
                                 const char* channel, const uint8_t* message,
                                 size_t message_size) {
  if (!messenger || !channel || !messenger->engine) return false;
  messenger->transcript->Write(std::string("outgoing ") + channel + " " +
                               standin::Hex(message, message_size));
  return true;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger,
                                          const char* channel,
                                          const uint8_t* message,
                                          size_t message_size,
                                          FlutterDesktopBinaryReply reply,
                                          void* user_data) {
  if (!messenger || !channel || !reply || !messenger->engine) return false;
  // Nobody listens on the other side of the stand-in: the answer is the
  // empty reply, delivered later from the message loop.
  const HWND view = standin::ViewWindow(messenger->engine);
  if (!view) return false;
  messenger->transcript->Write(std::string("outgoing ") + channel + " " +
                               standin::Hex(message, message_size));
  messenger->engine->pending_replies.push_back(PendingReply{reply, user_data});
  if (!::PostMessageW(view, standin::kDeliverReplyMessage, 0, 0)) {
    messenger->engine->pending_replies.pop_back();
    return false;
  }
  return true;
}

void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger,
    const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
    size_t data_size) {
  if (!messenger) return;
  std::lock_guard<std::recursive_mutex> lock(messenger->mutex);
  const auto found = messenger->responses.find(handle);
  if (found == messenger->responses.end()) {
    messenger->transcript->Write("error unknown response handle");
    return;
  }
  FlutterDesktopMessageResponseHandle& response = *found->second;
  if (response.answered) {
    messenger->transcript->Write("duplicate " + response.channel);
    return;
  }
  if (!messenger->available) {
    messenger->transcript->Write("error reply after shutdown " +
                                 response.channel);
    return;
  }
  response.answered = true;
  std::string line = "reply " + response.channel;
  if (data_size > 0 && data) line += " " + standin::Hex(data, data_size);
  messenger->transcript->Write(line);
  FlutterDesktopEngine* engine = messenger->engine;
  engine->status = L"Last reply on " + standin::ToWide(response.channel) +
                   L": " + std::to_wstring(data_size) + L" bytes";
  if (const HWND view = standin::ViewWindow(engine)) {
    ::InvalidateRect(view, nullptr, TRUE);
  }
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger,
                                        const char* channel,
                                        FlutterDesktopMessageCallback callback,
                                        void* user_data) {
  if (!messenger || !channel) return;
  if (callback) {
    messenger->routes[channel] = {callback, user_data};
  } else {
    messenger->routes.erase(channel);
  }
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(
    FlutterDesktopMessengerRef messenger) {
  if (!messenger) return nullptr;
  std::lock_guard<std::recursive_mutex> lock(messenger->mutex);
  ++messenger->references;
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  if (!messenger) return;
  int left = 0;
  {
    std::lock_guard<std::recursive_mutex> lock(messenger->mutex);
    left = --messenger->references;
  }
  if (left == 0) delete messenger;
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  if (!messenger) return false;
  std::lock_guard<std::recursive_mutex> lock(messenger->mutex);
  return messenger->available;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(
    FlutterDesktopMessengerRef messenger) {
  if (!messenger) return nullptr;
  messenger->mutex.lock();
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  if (messenger) messenger->mutex.unlock();
}
