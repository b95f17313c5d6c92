#include "util/native_log_file.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "util/held_folder.h"
#include "util/relative_file.h"
#include "util/security_descriptor.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

// The log runs elevated and may hold what a tunnel did: only SYSTEM and
// Administrators may read it.
constexpr wchar_t kLogFileSddl[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";
// Keeps the log and its one older generation small on a machine that runs
// for months.
constexpr uint64_t kMaxLogFileBytes = 1024 * 1024;
// The most of one line's text the file takes, a quarter of the file's
// bound; the console and the debugger still get the line whole.
constexpr size_t kMaxLogLineTextBytes = 256 * 1024;

struct LogFile {
  std::mutex mutex;
  std::shared_ptr<const HeldFolder> folder;
  std::wstring name;
  UniqueFileHandle handle;
  uint64_t size = 0;
};

// Never destroyed: a line may be logged while static objects go.
LogFile& TheLogFile() {
  static LogFile* const file = new LogFile();
  return *file;
}

// FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end,
// also when another instance appends to the same file. DELETE: the full
// file is renamed through this handle.
constexpr ACCESS_MASK kLogAccess =
    FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL | WRITE_DAC | DELETE;
constexpr DWORD kLogShare =
    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens the log file for appending, creating it when missing. Empty when
// the descriptor can't be built (no file without it), or the name is a
// link (never followed: its target could be any file), a hard link to
// another name, or not a plain file.
UniqueFileHandle OpenForAppend(const LogFile& log, uint64_t* size) {
  const SecurityDescriptor descriptor(kLogFileSddl);
  if (!descriptor) return UniqueFileHandle();
  bool existed = true;
  UniqueFileHandle file =
      OpenFileInFolder(*log.folder, log.name, kLogAccess, kLogShare);
  if (!file && ::GetLastError() == ERROR_FILE_NOT_FOUND) {
    file = OpenInFolder(log.folder->get(), log.name, EntryKind::kFile,
                        OpenMode::kCreateNew, kLogAccess, kLogShare,
                        descriptor.get());
    existed = false;
    // Another instance may have created it meanwhile.
    if (!file && ::GetLastError() == ERROR_FILE_EXISTS) {
      file = OpenFileInFolder(*log.folder, log.name, kLogAccess, kLogShare);
      existed = true;
    }
  }
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!file || !::GetFileInformationByHandle(file.get(), &info) ||
      info.nNumberOfLinks != 1) {
    return UniqueFileHandle();
  }
  // Opening an existing file leaves its DACL as it was.
  if (existed && ApplyProtectedDacl(file.get(), descriptor) != ERROR_SUCCESS) {
    return UniqueFileHandle();
  }
  *size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return file;
}

// Moves the full file aside and starts a new one. When the move fails the
// file log stops rather than grow without bound.
void Rotate(LogFile& log) {
  const bool moved = RenameOpenEntry(log.handle.get(), log.folder->get(),
                                     log.name + L".1", true);
  log.handle.reset();
  if (moved) log.handle = OpenForAppend(log, &log.size);
}

// `text` cut to kMaxLogLineTextBytes, at the start of a UTF-8 character,
// and a marker that says how much is missing; `text` itself when it fits.
std::string_view CutText(std::string_view text, std::string& marker) {
  if (text.size() <= kMaxLogLineTextBytes) return text;
  size_t end = kMaxLogLineTextBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;  // a continuation byte
  }
  marker = " [" + std::to_string(text.size() - end) + " more bytes cut]";
  return text.substr(0, end);
}

std::string Timestamp() {
  SYSTEMTIME now = {};
  ::GetSystemTime(&now);
  char text[32];
  std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u.%03u ",
                now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                now.wSecond, now.wMilliseconds);
  return text;
}

}  // namespace

void SetNativeLogFile(std::shared_ptr<const HeldFolder> folder,
                      const std::wstring& name) {
  LogFile& log = TheLogFile();
  const std::lock_guard<std::mutex> lock(log.mutex);
  log.handle.reset();
  log.folder = std::move(folder);
  log.name = name;
  log.size = 0;
  if (log.folder && log.folder->valid()) {
    log.handle = OpenForAppend(log, &log.size);
  }
  // Without a file the folder is not held for the log.
  if (!log.handle) log.folder.reset();
}

void AppendToLogFile(std::string_view prefix, std::string_view label,
                     std::string_view text) {
  LogFile& file = TheLogFile();
  const std::lock_guard<std::mutex> lock(file.mutex);
  if (!file.handle) return;
  // One write per line, so a line is never torn by a kill or interleaved
  // with another writer's.
  std::string marker;
  const std::string_view kept = CutText(text, marker);
  std::string line = Timestamp();
  line.reserve(line.size() + prefix.size() + label.size() + kept.size() +
               marker.size() + 1);
  line.append(prefix).append(label).append(kept).append(marker).push_back('\n');
  if (file.size > 0 && file.size + line.size() > kMaxLogFileBytes) {
    Rotate(file);
    if (!file.handle) return;
  }
  DWORD written = 0;
  if (line.size() <= MAXDWORD &&
      ::WriteFile(file.handle.get(), line.data(),
                  static_cast<DWORD>(line.size()), &written, nullptr)) {
    file.size += written;
  }
}
