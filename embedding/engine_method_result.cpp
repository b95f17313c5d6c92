#include "embedding/engine_method_result.h"

#include <iostream>

namespace flutter {

OneShotReply::OneShotReply(ReplyCallback reply) : reply_(std::move(reply)) {}

OneShotReply::~OneShotReply() {
  if (reply_) {
    std::cerr << "Warning: Failed to respond to a message. This is a memory "
                 "leak."
              << std::endl;
  }
}

void OneShotReply::Send(const std::vector<uint8_t>* data) {
  if (!reply_) {
    std::cerr << "Error: Only one of Success, Error, or NotImplemented can be "
                 "called, and it can be called exactly once. Ignoring "
                 "duplicate result."
              << std::endl;
    return;
  }
  // Emptied before the call, so that an answer given from inside the
  // callback is refused as well.
  ReplyCallback reply = std::move(reply_);
  reply_ = nullptr;
  if (data == nullptr || data->empty()) {
    reply(nullptr, 0);
  } else {
    reply(data->data(), data->size());
  }
}

}  // namespace flutter
