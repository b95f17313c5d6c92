#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

namespace {
constexpr char kPrefix[] = "[Keelhaven Native] ";
}

LogCapture::LogCapture() { testing::internal::CaptureStderr(); }

LogCapture::~LogCapture() { Finish(); }

const std::string& LogCapture::Finish() {
  if (!finished_) {
    finished_ = true;
    text_ = testing::internal::GetCapturedStderr();
  }
  return text_;
}

std::vector<std::string> NativeMessages(const std::string& text) {
  std::vector<std::string> messages;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line.compare(0, sizeof(kPrefix) - 1, kPrefix) == 0) {
      messages.push_back(line.substr(sizeof(kPrefix) - 1));
    }
    start = end + 1;
  }
  return messages;
}

bool HasMessageStartingWith(const std::vector<std::string>& messages,
                            const std::string& prefix) {
  for (const std::string& message : messages) {
    if (message.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}
