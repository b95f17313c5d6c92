#include "standins/wireguard/fault_plan.h"

#include <vector>

#include "standins/common/text.h"

namespace {

constexpr int64_t kMinExitCode = -2147483648LL;  // written as signed ...
constexpr int64_t kMaxExitCode = 4294967295LL;   // ... or unsigned 32 bits

bool CommandOfWord(std::string_view word, FaultCommand* command) {
  static const struct {
    std::string_view word;
    FaultCommand command;
  } kWords[] = {{"install", FaultCommand::kInstall},
                {"uninstall", FaultCommand::kUninstall},
                {"show", FaultCommand::kShow},
                {"dump", FaultCommand::kDump}};
  for (const auto& entry : kWords) {
    if (word == entry.word) {
      *command = entry.command;
      return true;
    }
  }
  return false;
}

bool ParseFlag(std::string_view text, bool* flag) {
  if (text != "0" && text != "1") return false;
  *flag = text == "1";
  return true;
}

bool ParseMilliseconds(std::string_view text, uint32_t* milliseconds) {
  int64_t value = 0;
  if (!ParseInteger(text, 0, kMaxFaultMilliseconds, &value)) return false;
  *milliseconds = static_cast<uint32_t>(value);
  return true;
}

// Applies one key=value word; false when the word is not understood.
bool ApplyWord(std::string_view word, Fault* fault) {
  const size_t equals = word.find('=');
  if (equals == std::string_view::npos) return false;
  const std::string_view key = word.substr(0, equals);
  const std::string_view value = word.substr(equals + 1);
  int64_t number = 0;
  uint32_t milliseconds = 0;
  if (key == "exit") {
    if (!ParseInteger(value, kMinExitCode, kMaxExitCode, &number)) return false;
    fault->exit_code = static_cast<uint32_t>(number);
    return true;
  }
  if (key == "stdout") return ParseHex(value, &fault->stdout_bytes);
  if (key == "stderr") return ParseHex(value, &fault->stderr_bytes);
  if (key == "hang") return ParseFlag(value, &fault->hang);
  if (key == "close_output") return ParseFlag(value, &fault->close_output);
  if (key == "bytes") {
    if (!ParseInteger(value, 0, kMaxPatternBytes, &number)) return false;
    fault->pattern_bytes = static_cast<uint64_t>(number);
    return true;
  }
  if (key == "grandchild_ms") {
    if (!ParseMilliseconds(value, &milliseconds)) return false;
    fault->grandchild_ms = milliseconds;
    return true;
  }
  return false;
}

std::optional<Fault> ParseLine(std::string_view line, FaultCommand wanted) {
  const std::vector<std::string_view> words = SplitWords(line);
  FaultCommand command;
  if (words.empty() || !CommandOfWord(words[0], &command) ||
      command != wanted) {
    return std::nullopt;
  }
  Fault fault;
  for (size_t i = 1; i < words.size(); ++i) {
    if (!ApplyWord(words[i], &fault)) return std::nullopt;
  }
  return fault;
}

}  // namespace

std::optional<Fault> FindFault(std::string_view plan, FaultCommand command) {
  std::optional<Fault> found;
  if (plan.size() > kMaxFaultFileBytes) return found;
  for (std::string_view line : SplitLines(plan)) {
    line = TrimBlanks(line);
    if (line.empty() || line.front() == '#') continue;
    if (std::optional<Fault> fault = ParseLine(line, command)) {
      found = std::move(fault);
    }
  }
  return found;
}
