// Captures the exact bytes the program writes to standard error (the native
// log and the embedding layer's complaints) while the object lives.
#ifndef KEELHAVEN_TESTS_SUPPORT_LOG_CAPTURE_H_
#define KEELHAVEN_TESTS_SUPPORT_LOG_CAPTURE_H_

#include <memory>
#include <string>
#include <vector>

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

// The messages of the native log lines in `text`, prefix and line feed
// removed, in order. A message holding line breaks spans several lines;
// only its first line carries the prefix, so only that line is listed.
std::vector<std::string> NativeMessages(const std::string& text);

// True when some native message starts with `prefix`.
bool HasMessageStartingWith(const std::vector<std::string>& messages,
                            const std::string& prefix);

#endif  // KEELHAVEN_TESTS_SUPPORT_LOG_CAPTURE_H_
