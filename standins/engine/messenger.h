// The stand-in's messenger: channel routing, replies with the once-only
// check, reference counts, the lock and the availability flag, and the
// empty replies to the host's own messages. It knows nothing of the engine:
// what it needs of the message loop it asks for through a callback.
#ifndef KEELHAVEN_STANDINS_ENGINE_MESSENGER_H_
#define KEELHAVEN_STANDINS_ENGINE_MESSENGER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "embedding/engine_api.h"
#include "standins/engine/transcript.h"

namespace standin {

// Asks the message loop for one DeliverPendingReply call later, or for a
// repaint that shows the new status; false without a loop (no view).
enum class LoopWork { kDeliverReply, kShowStatus };
using PostToLoop = std::function<bool(LoopWork)>;

FlutterDesktopMessengerRef CreateMessenger(
    std::shared_ptr<Transcript> transcript, PostToLoop post_to_loop);

// Plays one incoming message on the channel to the host, with a fresh
// response handle, or writes "unhandled <channel>". The engine may be gone
// when this returns.
void DeliverMessage(FlutterDesktopMessengerRef messenger,
                    const std::string& channel,
                    const std::vector<uint8_t>& bytes);

// Gives the oldest pending message of the host the empty reply.
void DeliverPendingReply(FlutterDesktopMessengerRef messenger);

// What the view shows under the name: the last reply, or that none came yet.
const std::wstring& MessengerStatus(FlutterDesktopMessengerRef messenger);

// At engine shutdown: writes the shutdown line, turns the messenger
// unavailable and gives back the engine's reference.
void ShutDownMessenger(FlutterDesktopMessengerRef messenger);

}  // namespace standin

#endif  // KEELHAVEN_STANDINS_ENGINE_MESSENGER_H_
