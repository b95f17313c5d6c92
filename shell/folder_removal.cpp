#include "shell/folder_removal.h"

#include <vector>

#include "tunnel/folder_trust.h"
#include "util/relative_file.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

// More entries than the host ever leaves; a folder holding more is not
// listed further (what is left makes the removal fail, never run long).
constexpr size_t kMaxEntries = 4096;
// ERROR_REPARSE_POINT_ENCOUNTERED, which not every SDK names: what was opened
// is not the entry that was listed.
constexpr DWORD kNotTheListedEntry = 4395;

// One entry of the folder as it was listed.
struct Entry {
  std::wstring name;
  LONGLONG id;
  DWORD attributes;
};

// The entries of the folder held by `folder`, "." and ".." left out. False
// when the folder can't be listed.
bool ListEntries(HANDLE folder, std::vector<Entry>& names, DWORD& error) {
  alignas(FILE_ID_BOTH_DIR_INFO) BYTE buffer[16384];
  FILE_INFO_BY_HANDLE_CLASS query = FileIdBothDirectoryRestartInfo;
  while (names.size() < kMaxEntries) {
    if (!::GetFileInformationByHandleEx(folder, query, buffer,
                                        sizeof(buffer))) {
      error = ::GetLastError();
      return error == ERROR_NO_MORE_FILES;
    }
    query = FileIdBothDirectoryInfo;
    size_t offset = 0;
    for (;;) {
      const auto* entry =
          reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + offset);
      const std::wstring name(entry->FileName,
                              entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") {
        names.push_back(
            Entry{name, entry->FileId.QuadPart, entry->FileAttributes});
      }
      if (entry->NextEntryOffset == 0) break;
      offset += entry->NextEntryOffset;
    }
  }
  return true;
}

// Deletes one entry of the held folder; a read-only file loses that
// attribute first. What was opened must be what was listed (the same file
// id, and a link or a folder as listed): a link followed despite the flag,
// or an entry replaced since, is left alone. Gives the Windows error on
// failure.
bool DeleteEntry(HANDLE folder, const Entry& listed, DWORD& error) {
  const UniqueFileHandle entry = OpenInFolder(
      folder, listed.name, EntryKind::kAnything, OpenMode::kExisting,
      DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (!entry) {
    error = ::GetLastError();
    return false;
  }
  BY_HANDLE_FILE_INFORMATION opened{};
  if (!::GetFileInformationByHandle(entry.get(), &opened)) {
    error = ::GetLastError();
    return false;
  }
  const LONGLONG id = static_cast<LONGLONG>(
      (static_cast<ULONGLONG>(opened.nFileIndexHigh) << 32) |
      opened.nFileIndexLow);
  constexpr DWORD kKind =
      FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
  if (id != listed.id ||
      ((opened.dwFileAttributes ^ listed.attributes) & kKind) != 0) {
    error = kNotTheListedEntry;
    return false;
  }
  if (DeleteOpenEntry(entry.get())) return true;
  error = ::GetLastError();
  FILE_BASIC_INFO basic{};
  if (!::GetFileInformationByHandleEx(entry.get(), FileBasicInfo, &basic,
                                      sizeof(basic)) ||
      !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
    return false;
  }
  basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (!::SetFileInformationByHandle(entry.get(), FileBasicInfo, &basic,
                                    sizeof(basic)) ||
      !DeleteOpenEntry(entry.get())) {
    error = ::GetLastError();
    return false;
  }
  return true;
}

}  // namespace

FolderRemovalResult RemoveFolderNoFollow(const std::wstring& path) {
  FolderRemovalResult result;
  // No delete sharing: nobody renames or replaces the folder while its
  // entries go.
  UniqueFileHandle folder = OpenNoFollow(
      path, DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS);
  if (!folder) {
    result.error = ::GetLastError();
    result.outcome = (result.error == ERROR_FILE_NOT_FOUND ||
                      result.error == ERROR_PATH_NOT_FOUND)
                         ? FolderRemoval::kAbsent
                         : FolderRemoval::kFailed;
    if (result.outcome == FolderRemoval::kAbsent) result.error = 0;
    return result;
  }
  FILE_BASIC_INFO basic{};
  if (!::GetFileInformationByHandleEx(folder.get(), FileBasicInfo, &basic,
                                      sizeof(basic))) {
    result.error = ::GetLastError();
    return result;
  }
  if ((basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      !(basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    result.outcome = FolderRemoval::kRefused;
    return result;
  }

  std::vector<Entry> entries;
  DWORD error = 0;
  if (!ListEntries(folder.get(), entries, error)) {
    result.error = error;
    return result;
  }
  for (const Entry& entry : entries) {
    if (DeleteEntry(folder.get(), entry, error)) continue;
    ++result.entries_left;
    if (result.error == 0) result.error = error;
  }
  if (result.entries_left > 0) {
    result.outcome = FolderRemoval::kEntriesLeft;
    return result;
  }
  // Its entries go as their handles close; the folder itself with ours.
  if (!DeleteOpenEntry(folder.get())) {
    result.error = ::GetLastError();
    result.outcome = (result.error == ERROR_DIR_NOT_EMPTY)
                         ? FolderRemoval::kEntriesLeft
                         : FolderRemoval::kFailed;
    return result;
  }
  folder.reset();
  result.outcome = FolderRemoval::kRemoved;
  return result;
}
