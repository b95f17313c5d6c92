#include "standins/engine/script.h"

#include <string_view>

#include "standins/common/text.h"

namespace standin {
namespace {

// Returns an empty string on success, else what is wrong with the line.
std::string ParseCommand(const std::vector<std::string_view>& words,
                         ScriptCommand* command) {
  const std::string name(words[0]);
  if (name == "send") {
    if (words.size() < 2 || words.size() > 3) return "send <channel> <hex>";
    command->kind = ScriptCommand::Kind::kSend;
    command->channel = std::string(words[1]);
    if (words.size() == 3 && !ParseHex(words[2], &command->bytes)) {
      return "bad hex";
    }
    return {};
  }
  if (name == "wait") {
    command->kind = ScriptCommand::Kind::kWait;
    int64_t milliseconds = 0;
    if (words.size() != 2 ||
        !ParseInteger(words[1], 0, kMaxWaitMilliseconds, &milliseconds)) {
      return "wait <milliseconds up to 600000>";
    }
    command->milliseconds = static_cast<unsigned>(milliseconds);
    return {};
  }
  if (name == "rect" || name == "close") {
    command->kind = name == "rect" ? ScriptCommand::Kind::kRect
                                   : ScriptCommand::Kind::kClose;
    return words.size() == 1 ? std::string() : name + " takes no argument";
  }
  return "unknown command " + name;
}

}  // namespace

bool ParseScript(const std::string& text, std::vector<ScriptCommand>* commands,
                 std::string* error) {
  std::vector<ScriptCommand> parsed;
  int number = 0;
  for (const std::string_view line : SplitLines(text)) {
    ++number;
    const std::vector<std::string_view> words = SplitWords(line);
    if (words.empty() || words[0][0] == '#') continue;
    ScriptCommand command;
    const std::string problem = ParseCommand(words, &command);
    if (!problem.empty()) {
      *error = "line " + std::to_string(number) + ": " + problem;
      commands->clear();
      return false;
    }
    parsed.push_back(std::move(command));
  }
  *commands = std::move(parsed);
  return true;
}

}  // namespace standin
