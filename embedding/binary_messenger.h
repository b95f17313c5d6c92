// Sends and receives byte messages on named channels.
#ifndef KEELHAVEN_EMBEDDING_BINARY_MESSENGER_H_
#define KEELHAVEN_EMBEDDING_BINARY_MESSENGER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "embedding/engine_method_result.h"

namespace flutter {

// Handles one message on a channel: the message bytes (null when empty),
// their count, and the callback that answers the message.
using ChannelMessageHandler = std::function<void(
    const uint8_t* message, size_t message_size, ReplyCallback reply)>;

// Note for Windows code: <windows.h> defines SendMessage as a macro. A
// source that includes it before this header sees SendMessageW here and at
// its call sites alike, which reaches the same virtual slot.
class BinaryMessenger {
 public:
  virtual ~BinaryMessenger() = default;

  // Sends a message on the channel; reply, when set, receives the answer
  // once. Messages the engine refuses get no reply.
  virtual void SendMessage(const std::string& channel, const uint8_t* message,
                           size_t message_size,
                           ReplyCallback reply = nullptr) const = 0;

  // Routes the channel's messages to handler, replacing any earlier one; an
  // empty handler removes the channel's routing.
  virtual void SetChannelHandler(const std::string& channel,
                                 ChannelMessageHandler handler) = 0;
};

}  // namespace flutter

#endif  // KEELHAVEN_EMBEDDING_BINARY_MESSENGER_H_
