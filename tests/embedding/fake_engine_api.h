// A hand-written fake of the engine's messenger functions for the portable
// messenger tests. It keeps everything in the messenger object the test
// owns and writes every call into a log, in order, so a test can assert the
// exact sequence the messenger made.
#ifndef KEELHAVEN_TESTS_EMBEDDING_FAKE_ENGINE_API_H_
#define KEELHAVEN_TESTS_EMBEDDING_FAKE_ENGINE_API_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "embedding/engine_api.h"

struct FlutterDesktopMessageResponseHandle {
  int id;
};

struct FlutterDesktopMessenger {
  // References beyond the engine's own: AddRef minus Release.
  int references = 0;
  bool available = true;
  int lock_depth = 0;
  // Lock gives null, as an engine that declines the lock.
  bool decline_lock = false;
  // What SendWithReply answers.
  bool accept_sends = true;

  // One entry per call, e.g. "AddRef", "Lock", "IsAvailable",
  // "SendResponse 1 0a0b" (the handle's id and the bytes, "null" for a null
  // pointer), "Unlock", "Release", "SetCallback chan set",
  // "SetCallback chan null", "Send chan 0102", "SendWithReply chan 0102".
  std::vector<std::string> calls;

  struct Route {
    FlutterDesktopMessageCallback callback = nullptr;
    void* user_data = nullptr;
  };
  // The routes as the engine holds them.
  std::map<std::string, Route> routes;
  // Lock depth seen by each SendResponse and IsAvailable, in order.
  std::vector<int> depth_at_response;
  std::vector<int> depth_at_availability;

  struct SentWithReply {
    FlutterDesktopBinaryReply reply;
    void* user_data;
  };
  // Messages accepted by SendWithReply whose reply is still due.
  std::vector<SentWithReply> pending_replies;
};

namespace fake_engine {

// "0a0b"; "" for no bytes; "null" for a null pointer.
std::string HexOrNull(const uint8_t* data, size_t size);

// Delivers a message as the engine would, to the route of the channel.
// Returns false when the channel has no route.
bool Deliver(FlutterDesktopMessenger* messenger, const std::string& channel,
             const std::vector<uint8_t>& bytes,
             const FlutterDesktopMessageResponseHandle* handle);

}  // namespace fake_engine

#endif  // KEELHAVEN_TESTS_EMBEDDING_FAKE_ENGINE_API_H_
