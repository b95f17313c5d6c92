// The fault file of the stand-in tools: which command misbehaves and how.
//
// One line per command: "<command> key=value ...", command one of install,
// uninstall, show, dump; words separated by blanks; '#' at the start of a
// line makes it a comment. A line with an unknown command word, an unknown
// key, a key without '=' or a value out of range is ignored as a whole.
// When several valid lines name the same command, the last one holds.
#ifndef KEELHAVEN_STANDINS_WIREGUARD_FAULT_PLAN_H_
#define KEELHAVEN_STANDINS_WIREGUARD_FAULT_PLAN_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class FaultCommand { kInstall, kUninstall, kShow, kDump };

// Bounds on values, so a fault file cannot make a tool wait or write
// without end (other than hang=1, which asks for exactly that).
constexpr int64_t kMaxFaultMilliseconds = 600000;  // 10 minutes
constexpr int64_t kMaxPatternBytes = 64LL << 20;   // 64 MiB
// Longer fault files are ignored as a whole.
constexpr size_t kMaxFaultFileBytes = 64 * 1024;

// The repeating pattern of bytes=<n>: byte i is kPatternAlphabet[i % 26].
constexpr std::string_view kPatternAlphabet = "abcdefghijklmnopqrstuvwxyz";

struct Fault {
  std::optional<uint32_t> exit_code;  // exit=<int>: replaces the normal work
  std::string stdout_bytes;           // stdout=<hex>
  std::string stderr_bytes;           // stderr=<hex>
  bool hang = false;                  // hang=1
  bool close_output = false;          // close_output=1
  uint64_t pattern_bytes = 0;         // bytes=<n>
  std::optional<uint32_t> grandchild_ms;  // grandchild_ms=<n>
};

// The fault for `command` in the fault file's text, if any.
std::optional<Fault> FindFault(std::string_view plan, FaultCommand command);

#endif  // KEELHAVEN_STANDINS_WIREGUARD_FAULT_PLAN_H_
