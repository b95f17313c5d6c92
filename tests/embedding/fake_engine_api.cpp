#include "fake_engine_api.h"

#include "standins/common/text.h"

namespace fake_engine {

std::string HexOrNull(const uint8_t* data, size_t size) {
  return data ? ToHex(data, size) : "null";
}

bool Deliver(FlutterDesktopMessenger* messenger, const std::string& channel,
             const std::vector<uint8_t>& bytes,
             const FlutterDesktopMessageResponseHandle* handle) {
  const auto route = messenger->routes.find(channel);
  if (route == messenger->routes.end()) return false;
  FlutterDesktopMessage message = {};
  message.struct_size = sizeof(message);
  message.channel = channel.c_str();
  message.message = bytes.empty() ? nullptr : bytes.data();
  message.message_size = bytes.size();
  message.response_handle = handle;
  const FlutterDesktopMessenger::Route target = route->second;
  target.callback(messenger, &message, target.user_data);
  return true;
}

}  // namespace fake_engine

using fake_engine::HexOrNull;

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger,
                                 const char* channel, const uint8_t* message,
                                 size_t message_size) {
  messenger->calls.push_back(std::string("Send ") + channel + " " +
                             HexOrNull(message, message_size));
  return true;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger,
                                          const char* channel,
                                          const uint8_t* message,
                                          size_t message_size,
                                          FlutterDesktopBinaryReply reply,
                                          void* user_data) {
  messenger->calls.push_back(std::string("SendWithReply ") + channel + " " +
                             HexOrNull(message, message_size));
  if (!messenger->accept_sends) return false;
  messenger->pending_replies.push_back({reply, user_data});
  return true;
}

void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger,
    const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
    size_t data_size) {
  messenger->depth_at_response.push_back(messenger->lock_depth);
  messenger->calls.push_back("SendResponse " + std::to_string(handle->id) +
                             " " + HexOrNull(data, data_size));
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger,
                                        const char* channel,
                                        FlutterDesktopMessageCallback callback,
                                        void* user_data) {
  messenger->calls.push_back(std::string("SetCallback ") + channel +
                             (callback ? " set" : " null"));
  if (callback) {
    messenger->routes[channel] = {callback, user_data};
  } else {
    messenger->routes.erase(channel);
  }
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(
    FlutterDesktopMessengerRef messenger) {
  messenger->calls.push_back("AddRef");
  ++messenger->references;
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  messenger->calls.push_back("Release");
  --messenger->references;
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  messenger->depth_at_availability.push_back(messenger->lock_depth);
  messenger->calls.push_back("IsAvailable");
  return messenger->available;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(
    FlutterDesktopMessengerRef messenger) {
  messenger->calls.push_back("Lock");
  if (messenger->decline_lock) return nullptr;
  ++messenger->lock_depth;
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  messenger->calls.push_back("Unlock");
  --messenger->lock_depth;
}
