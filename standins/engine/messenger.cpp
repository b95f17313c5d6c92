#include "standins/engine/messenger.h"

#include <map>
#include <mutex>

#include "standins/common/text.h"

struct FlutterDesktopMessageResponseHandle {
  std::string channel;
  bool answered = false;
};

// Everything runs on the thread of the window's message loop; the lock is
// real all the same, as the host relies on it.
struct FlutterDesktopMessenger {
  std::recursive_mutex mutex;
  // One reference is the engine's own; the rest are the host's.
  int references = 1;
  // False, and show_status empty, from engine shutdown on.
  bool available = true;
  standin::ShowStatus show_status;
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
  std::wstring status = L"Waiting for the user interface";
};

namespace standin {

FlutterDesktopMessengerRef CreateMessenger(
    std::shared_ptr<Transcript> transcript, ShowStatus show_status) {
  auto* messenger = new FlutterDesktopMessenger();
  messenger->transcript = std::move(transcript);
  messenger->show_status = std::move(show_status);
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

const std::wstring& MessengerStatus(FlutterDesktopMessengerRef messenger) {
  return messenger->status;
}

void ShutDownMessenger(FlutterDesktopMessengerRef messenger) {
  {
    std::lock_guard<std::recursive_mutex> lock(messenger->mutex);
    messenger->available = false;
    messenger->show_status = nullptr;
    messenger->transcript->Write("shutdown refs=" +
                                 std::to_string(messenger->references - 1));
  }
  FlutterDesktopMessengerRelease(messenger);
}

}  // namespace standin

// Nobody listens on the other side of the stand-in, and the host sends it
// nothing: a message from the host is refused (any reply stays with the
// sender).
bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef, const char*,
                                 const uint8_t*, size_t) {
  return false;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef,
                                          const char*, const uint8_t*, size_t,
                                          FlutterDesktopBinaryReply, void*) {
  return false;
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
  if (data_size > 0 && data) line += " " + ToHex(data, data_size);
  messenger->transcript->Write(line);
  messenger->status = L"Last reply on " + standin::ToWide(response.channel) +
                      L": " + std::to_wstring(data_size) + L" bytes";
  messenger->show_status();
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
