#include "standins/wireguard/console.h"

#include <algorithm>

#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

// Pipes hold about 4 KB; smaller writes let a reader that polls keep up.
constexpr size_t kChunkBytes = 4096;

bool IsUsable(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

void WriteAll(DWORD which, std::string_view bytes) {
  const HANDLE handle = ::GetStdHandle(which);
  if (!IsUsable(handle)) return;
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min(bytes.size(), kChunkBytes));
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data(), chunk, &written, nullptr) ||
        written == 0) {
      return;
    }
    bytes.remove_prefix(written);
  }
}

}  // namespace

void WriteStdout(std::string_view bytes) { WriteAll(STD_OUTPUT_HANDLE, bytes); }

void WriteStderr(std::string_view bytes) { WriteAll(STD_ERROR_HANDLE, bytes); }

void CloseStandardOutput() {
  const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  ::SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
  ::SetStdHandle(STD_ERROR_HANDLE, nullptr);
  if (IsUsable(output)) UniqueKernelHandle{output}.reset();
  if (IsUsable(error) && error != output) UniqueKernelHandle{error}.reset();
}
