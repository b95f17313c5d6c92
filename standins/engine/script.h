// The stand-in engine's script: the channel messages it plays to the host,
// one command a line (see README.md).
#ifndef KEELHAVEN_STANDINS_ENGINE_SCRIPT_H_
#define KEELHAVEN_STANDINS_ENGINE_SCRIPT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

struct ScriptCommand {
  enum class Kind { kSend, kWait, kRect, kClose };
  Kind kind = Kind::kRect;
  std::string channel;         // kSend
  std::vector<uint8_t> bytes;  // kSend
  unsigned milliseconds = 0;   // kWait
};

// Longest script read, and longest wait: a script is a test's few dozen
// lines, and a wait longer than ten minutes is a mistake, not a plan.
constexpr size_t kMaxScriptBytes = 1 << 20;
constexpr unsigned kMaxWaitMilliseconds = 600000;

// Parses the whole script. On a bad line returns false with `error` saying
// "line <n>: <what>", and no commands: a script runs whole or not at all.
bool ParseScript(const std::string& text, std::vector<ScriptCommand>* commands,
                 std::string* error);

}  // namespace standin

#endif  // KEELHAVEN_STANDINS_ENGINE_SCRIPT_H_
