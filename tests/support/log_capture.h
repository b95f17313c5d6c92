// Captures the exact bytes the program writes to standard error (the native
// log and the embedding layer's complaints) while the object lives.
#ifndef KEELHAVEN_TESTS_SUPPORT_LOG_CAPTURE_H_
#define KEELHAVEN_TESTS_SUPPORT_LOG_CAPTURE_H_

#include <memory>
#include <string>

// NativeMessages and HasMessageStartingWith, for what a capture gives.
#include "tests/support/text.h"

class TempFolder;

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Ends the capture (once) and gives everything written meanwhile.
  const std::string& Finish();

 private:
  std::unique_ptr<TempFolder> folder_;
  int saved_descriptor_ = -1;
  bool finished_ = false;
  std::string text_;
};

#endif  // KEELHAVEN_TESTS_SUPPORT_LOG_CAPTURE_H_
