#include "util/native_log_stream.h"

#include <iostream>
#include <string>
#include <string_view>

#include "util/native_log_console.h"
#include "util/native_log_file.h"

namespace {

// A line that never ends can't hold more than this in memory.
constexpr size_t kMaxPendingBytes = 64 * 1024;

class LogLineBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type character) override {
    if (traits_type::eq_int_type(character, traits_type::eof())) {
      return traits_type::not_eof(character);
    }
    const char byte = traits_type::to_char_type(character);
    Append(std::string_view(&byte, 1));
    return character;
  }

  std::streamsize xsputn(const char* bytes, std::streamsize count) override {
    Append(std::string_view(bytes, static_cast<size_t>(count)));
    return count;
  }

 private:
  void Append(std::string_view bytes) {
    while (!bytes.empty()) {
      const size_t end = bytes.find('\n');
      const size_t size = end == std::string_view::npos ? bytes.size() : end;
      const size_t room = kMaxPendingBytes - pending_.size();
      if (size > room) {
        pending_.append(bytes.substr(0, room));
        bytes.remove_prefix(room);
      } else {
        pending_.append(bytes.substr(0, size));
        bytes.remove_prefix(size);
        if (bytes.empty()) return;
        bytes.remove_prefix(1);  // the line feed
      }
      Emit();
    }
  }

  void Emit() {
    WriteToStandardError({pending_, "\n"});
    AppendToLogFile("", "", pending_);
    pending_.clear();
  }

  std::string pending_;
};

}  // namespace

std::streambuf* ForwardStandardErrorStream() {
  // Never destroyed: static objects may still write to std::cerr while the
  // process ends.
  static LogLineBuffer* const buffer = new LogLineBuffer();
  return std::cerr.rdbuf(buffer);
}
