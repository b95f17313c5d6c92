#include "embedding/binary_messenger_impl.h"

#include <iostream>
#include <memory>
#include <utility>

#include "embedding/guarded_call.h"

namespace flutter {
namespace {

// One engine-side reference to the messenger, shared by every copy of a
// reply callback and given back when the last copy goes.
using MessengerReference = std::shared_ptr<FlutterDesktopMessenger>;

MessengerReference TakeMessengerReference(
    FlutterDesktopMessengerRef messenger) {
  return MessengerReference(FlutterDesktopMessengerAddRef(messenger),
                            [](FlutterDesktopMessengerRef held) {
                              if (held) FlutterDesktopMessengerRelease(held);
                            });
}

// Holds the engine's messenger lock for one scope. The engine may decline
// the lock (null); then there is nothing to unlock.
class MessengerLock {
 public:
  explicit MessengerLock(FlutterDesktopMessengerRef messenger)
      : locked_(FlutterDesktopMessengerLock(messenger)) {}
  ~MessengerLock() {
    if (locked_) FlutterDesktopMessengerUnlock(locked_);
  }
  MessengerLock(const MessengerLock&) = delete;
  MessengerLock& operator=(const MessengerLock&) = delete;

 private:
  FlutterDesktopMessengerRef locked_;
};

// The answer to one incoming message. Each copy answers at most once; the
// lock keeps the engine from shutting down between the availability check
// and the send.
ReplyCallback MakeReplyCallback(
    MessengerReference messenger,
    const FlutterDesktopMessageResponseHandle* response_handle) {
  return [held = std::move(messenger), pending = response_handle](
             const uint8_t* reply, size_t reply_size) mutable {
    MessengerLock lock(held.get());
    if (!FlutterDesktopMessengerIsAvailable(held.get())) return;
    if (!pending) {
      std::cerr << "Error: Response can be set only once. Ignoring "
                   "duplicate response."
                << std::endl;
      return;
    }
    FlutterDesktopMessengerSendResponse(held.get(), pending, reply, reply_size);
    pending = nullptr;
  };
}

// The reply to one incoming message as its handler gets it. Every copy
// calls the one closure, so the message is answered once whichever copy
// answers, and the messenger can tell whether the handler answered.
struct SharedReply {
  ReplyCallback send;
  bool answered = false;
};

ReplyCallback ShareReply(const std::shared_ptr<SharedReply>& shared) {
  return [shared](const uint8_t* reply, size_t reply_size) {
    shared->answered = true;
    shared->send(reply, reply_size);
  };
}

// The engine's callback for a message on a registered channel; user_data
// is the address of the channel's handler in the map. A handler that
// throws is reported, and its message, when still unanswered, gets an empty
// reply.
void ForwardIncomingMessage(FlutterDesktopMessengerRef messenger,
                            const FlutterDesktopMessage* message,
                            void* user_data) noexcept {
  const char* channel = message->channel ? message->channel : "";
  std::shared_ptr<SharedReply> shared;
  // Only allocation can fail before the handler runs; the message then goes
  // unanswered, which the engine survives.
  if (!GuardedCall("Taking a message on channel ", channel, [&] {
        shared = std::make_shared<SharedReply>();
        shared->send = MakeReplyCallback(TakeMessengerReference(messenger),
                                         message->response_handle);
      })) {
    return;
  }
  const bool handled = GuardedCall("Handler for channel ", channel, [&] {
    // Called through a copy: a handler may replace or remove its own
    // channel's handler while it runs, which destroys the stored one.
    const ChannelMessageHandler handler =
        *static_cast<const ChannelMessageHandler*>(user_data);
    handler(message->message, message->message_size, ShareReply(shared));
  });
  if (!handled && !shared->answered) {
    GuardedCall("Empty reply on channel ", channel,
                [&] { ShareReply(shared)(nullptr, 0); });
  }
}

// The engine's callback for the reply to a sent message; user_data is the
// holder made for it, used once.
void DeliverReply(const uint8_t* reply, size_t reply_size,
                  void* user_data) noexcept {
  const std::unique_ptr<ReplyCallback> holder(
      static_cast<ReplyCallback*>(user_data));
  GuardedCall("Reply handler", "", [&] { (*holder)(reply, reply_size); });
}

}  // namespace

BinaryMessengerImpl::BinaryMessengerImpl(FlutterDesktopMessengerRef messenger)
    : messenger_(messenger) {}

BinaryMessengerImpl::~BinaryMessengerImpl() = default;

void BinaryMessengerImpl::SendMessage(const std::string& channel,
                                      const uint8_t* message,
                                      size_t message_size,
                                      ReplyCallback reply) const {
  if (!reply) {
    FlutterDesktopMessengerSend(messenger_, channel.c_str(), message,
                                message_size);
    return;
  }
  auto holder = std::make_unique<ReplyCallback>(std::move(reply));
  if (FlutterDesktopMessengerSendWithReply(messenger_, channel.c_str(), message,
                                           message_size, DeliverReply,
                                           holder.get())) {
    // The engine owns the holder now and hands it to DeliverReply.
    holder.release();
  }
}

void BinaryMessengerImpl::SetChannelHandler(const std::string& channel,
                                            ChannelMessageHandler handler) {
  if (!handler) {
    handlers_.erase(channel);
    FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), nullptr,
                                       nullptr);
    return;
  }
  // Stored before the engine learns the address, so the engine never holds
  // the address of a handler that is not there.
  ChannelMessageHandler& stored = handlers_[channel];
  stored = std::move(handler);
  FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(),
                                     ForwardIncomingMessage, &stored);
}

}  // namespace flutter
