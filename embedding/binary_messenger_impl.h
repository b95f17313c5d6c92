// The messenger on top of the engine's messenger handle.
#ifndef KEELHAVEN_EMBEDDING_BINARY_MESSENGER_IMPL_H_
#define KEELHAVEN_EMBEDDING_BINARY_MESSENGER_IMPL_H_

#include <map>
#include <string>

#include "embedding/binary_messenger.h"
#include "embedding/engine_api.h"

namespace flutter {

// Keeps one handler per channel and gives the engine the handler's address
// as the channel's user data; map nodes never move, so the address stays
// valid while the channel is registered.
//
// Each incoming message's reply callback holds a reference to the engine's
// messenger, so a late answer is safe: it is sent while the engine runs,
// and dropped without a word once the engine has shut down.
//
// Destruction does not unregister the handlers: the engine is shut down
// before this object goes.
class BinaryMessengerImpl : public BinaryMessenger {
 public:
  // messenger is not owned.
  explicit BinaryMessengerImpl(FlutterDesktopMessengerRef messenger);
  ~BinaryMessengerImpl() override;
  BinaryMessengerImpl(const BinaryMessengerImpl&) = delete;
  BinaryMessengerImpl& operator=(const BinaryMessengerImpl&) = delete;

  void SendMessage(const std::string& channel, const uint8_t* message,
                   size_t message_size,
                   ReplyCallback reply = nullptr) const override;

  void SetChannelHandler(const std::string& channel,
                         ChannelMessageHandler handler) override;

 private:
  FlutterDesktopMessengerRef messenger_;
  std::map<std::string, ChannelMessageHandler> handlers_;
};

}  // namespace flutter

#endif  // KEELHAVEN_EMBEDDING_BINARY_MESSENGER_IMPL_H_
