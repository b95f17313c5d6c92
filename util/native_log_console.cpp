#include "util/native_log_console.h"

#include <io.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "util/windows_include.h"

namespace {

// Text goes to a console in pieces of at most this many bytes: the UTF-16
// of a piece fits a buffer of as many characters on the stack.
constexpr size_t kConsolePieceBytes = 4096;

bool Usable(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// The runtime's descriptor 2 first: AttachNewConsole reopens it on a new
// console. The runtime keeps it open from its start, with -2 when the
// process had no handle then, so asking for its handle is safe where other
// calls on a missing descriptor would end the process. Started elevated
// through UAC from a console, the host has no handle at start; attaching to
// the console afterwards gives the process a standard error handle that the
// runtime never learns about.
HANDLE StandardError() {
  const intptr_t runtime = _get_osfhandle(2);
  if (runtime != 0 && runtime != -1 && runtime != -2) {
    return reinterpret_cast<HANDLE>(runtime);
  }
  const HANDLE standard = ::GetStdHandle(STD_ERROR_HANDLE);
  return Usable(standard) ? standard : nullptr;
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return ::GetFileType(handle) == FILE_TYPE_CHAR &&
         ::GetConsoleMode(handle, &mode);
}

void WriteBytes(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk =
        static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data(), chunk, &written, nullptr) ||
        written == 0) {
      return;
    }
    bytes.remove_prefix(written);
  }
}

// The console shows UTF-8 bytes in its own code page ("—" as "ΓÇö"), and
// changing the code page would change it for the shell that owns the
// console too: the text goes as UTF-16 instead.
void WriteConsoleText(HANDLE handle, std::string_view text) {
  wchar_t wide[kConsolePieceBytes];
  while (!text.empty()) {
    size_t size = std::min(text.size(), kConsolePieceBytes);
    // A piece never ends inside a UTF-8 sequence (unless the text is no
    // UTF-8 at all there).
    if (size < text.size()) {
      size_t cut = size;
      while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
      if (cut > 0) size = cut;
    }
    // Invalid UTF-8 becomes U+FFFD; a NUL passes like any character.
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(size),
                              wide, static_cast<int>(kConsolePieceBytes));
    text.remove_prefix(size);
    for (int done = 0; done < length;) {
      DWORD written = 0;
      if (!::WriteConsoleW(handle, wide + done,
                           static_cast<DWORD>(length - done), &written,
                           nullptr) ||
          written == 0) {
        return;
      }
      done += static_cast<int>(written);
    }
  }
}

}  // namespace

// Written to the handle, not through the C runtime's stream: no text-mode
// translation (a line ends in a bare line feed) and no copy of the parts.
void WriteToStandardError(std::initializer_list<std::string_view> parts) {
  const HANDLE handle = StandardError();
  if (!handle) return;
  // What others wrote through the runtime's stream goes out first.
  std::fflush(stderr);
  const bool console = IsConsole(handle);
  for (const std::string_view part : parts) {
    if (console) {
      WriteConsoleText(handle, part);
    } else {
      WriteBytes(handle, part);
    }
  }
}
