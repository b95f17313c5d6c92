// The stand-in's messenger: channel routing, replies with the once-only
// check, reference counts, the lock and the availability flag. It knows
// nothing of the engine: the repaint it needs it asks for through a callback.
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

// Asks the view for a repaint that shows the new status (none without one).
using ShowStatus = std::function<void()>;

FlutterDesktopMessengerRef CreateMessenger(
    std::shared_ptr<Transcript> transcript, ShowStatus show_status);

// Plays one incoming message on the channel to the host, with a fresh
// response handle, or writes "unhandled <channel>". The engine may be gone
// when this returns.
void DeliverMessage(FlutterDesktopMessengerRef messenger,
                    const std::string& channel,
                    const std::vector<uint8_t>& bytes);

// What the view shows under the name: the last reply, or that none came yet.
const std::wstring& MessengerStatus(FlutterDesktopMessengerRef messenger);

// At engine shutdown: writes the shutdown line, turns the messenger
// unavailable and gives back the engine's reference.
void ShutDownMessenger(FlutterDesktopMessengerRef messenger);

}  // namespace standin

#endif  // KEELHAVEN_STANDINS_ENGINE_MESSENGER_H_
