// The stand-in engine's transcript: a UTF-8 text file of one event a line,
// each line written to the file as soon as it happens, so that a test can
// read it while the program still runs.
#ifndef KEELHAVEN_STANDINS_ENGINE_TRANSCRIPT_H_
#define KEELHAVEN_STANDINS_ENGINE_TRANSCRIPT_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "util/unique_handle.h"

namespace standin {

class Transcript {
 public:
  // Creates or truncates the file. Without a file, Write does nothing.
  bool Open(const std::wstring& path);
  bool is_open() const { return file_.valid(); }

  // Writes the line and a line feed in one write.
  void Write(const std::string& line);

 private:
  UniqueFileHandle file_;
};

std::string ToUtf8(const std::wstring& text);
std::wstring ToWide(const std::string& text);

}  // namespace standin

#endif  // KEELHAVEN_STANDINS_ENGINE_TRANSCRIPT_H_
