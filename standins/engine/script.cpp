#include "standins/engine/script.h"

#include <sstream>

namespace standin {
namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHex(const std::string& text, std::vector<uint8_t>* bytes) {
  if (text.size() % 2 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes->push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return true;
}

bool ParseMilliseconds(const std::string& text, unsigned* milliseconds) {
  if (text.empty() || text.size() > 6) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > kMaxWaitMilliseconds) return false;
  *milliseconds = value;
  return true;
}

// Returns an empty string on success, else what is wrong with the line.
std::string ParseCommand(const std::vector<std::string>& words,
                         ScriptCommand* command) {
  const std::string& name = words[0];
  if (name == "send") {
    if (words.size() < 2 || words.size() > 3) return "send <channel> <hex>";
    command->kind = ScriptCommand::Kind::kSend;
    command->channel = words[1];
    if (words.size() == 3 && !ParseHex(words[2], &command->bytes)) {
      return "bad hex";
    }
    return {};
  }
  if (name == "wait") {
    command->kind = ScriptCommand::Kind::kWait;
    if (words.size() != 2 ||
        !ParseMilliseconds(words[1], &command->milliseconds)) {
      return "wait <milliseconds up to 600000>";
    }
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
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::vector<std::string> words = Split(line);
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
