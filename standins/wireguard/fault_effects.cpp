#include "standins/wireguard/fault_effects.h"

#include <algorithm>

#include "standins/wireguard/console.h"
#include "standins/wireguard/file_io.h"
#include "standins/wireguard/output_holder.h"
#include "standins/wireguard/state_folder.h"
#include "util/windows_include.h"

namespace {

void WritePattern(uint64_t count) {
  constexpr size_t kChunkBytes = 4096;
  std::string chunk(kChunkBytes, '\0');
  uint64_t index = 0;
  while (index < count) {
    const size_t size =
        static_cast<size_t>(std::min<uint64_t>(count - index, kChunkBytes));
    chunk.resize(size);
    for (size_t i = 0; i < size; ++i) {
      chunk[i] = kPatternAlphabet[(index + i) % kPatternAlphabet.size()];
    }
    WriteStdout(chunk);
    index += size;
  }
}

[[noreturn]] void HangForever() {
  for (;;) ::Sleep(INFINITE);
}

}  // namespace

std::optional<int> ActOutFault(const std::wstring& state_folder,
                               FaultCommand command) {
  if (state_folder.empty()) return std::nullopt;
  std::string plan;
  if (ReadSmallFile(FaultFilePath(state_folder), kMaxFaultFileBytes, &plan) !=
      ReadStatus::kOk) {
    return std::nullopt;
  }
  const std::optional<Fault> fault = FindFault(plan, command);
  if (!fault) return std::nullopt;

  if (fault->close_output) CloseStandardOutput();
  WriteStdout(fault->stdout_bytes);
  WriteStderr(fault->stderr_bytes);
  WritePattern(fault->pattern_bytes);
  if (fault->grandchild_ms) StartOutputHolder(*fault->grandchild_ms);
  if (fault->hang) HangForever();
  if (fault->exit_code) return static_cast<int>(*fault->exit_code);
  return std::nullopt;
}
