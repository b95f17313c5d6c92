#include "util/relative_file.h"

#include <cstddef>
#include <string>
#include <vector>

// After windows.h:
#include <aclapi.h>
#include <winternl.h>

namespace {

bool IsOneComponent(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(L"\\/:") == std::wstring::npos &&
         name.find(L'\0') == std::wstring::npos;
}

std::wstring Joined(const std::wstring& folder, const std::wstring& name) {
  if (!folder.empty() && folder.back() == L'\\') return folder + name;
  return folder + L"\\" + name;
}

std::wstring WithoutTrailingSeparator(const std::wstring& path) {
  // A drive root keeps its separator: "C:" alone is a current folder.
  if (path.size() > 3 && path.back() == L'\\') {
    return path.substr(0, path.size() - 1);
  }
  return path;
}

UniqueFileHandle Refused(DWORD error) {
  ::SetLastError(error);
  return UniqueFileHandle();
}

}  // namespace

UniqueFileHandle OpenInFolder(HANDLE folder, const std::wstring& name,
                              EntryKind kind, OpenMode mode, ACCESS_MASK access,
                              DWORD share, PSECURITY_DESCRIPTOR security) {
  if (!IsOneComponent(name) || name.size() > MAXSHORT / sizeof(wchar_t)) {
    return Refused(ERROR_INVALID_NAME);
  }
  // The parent's path is taken before the open: compared afterwards, a
  // link followed at `name` shows as a different place.
  const std::wstring folder_path = FinalPathOf(folder);
  if (folder_path.empty()) return Refused(::GetLastError());

  UNICODE_STRING unicode_name;
  unicode_name.Buffer = const_cast<wchar_t*>(name.c_str());
  unicode_name.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  unicode_name.MaximumLength = unicode_name.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &unicode_name, OBJ_CASE_INSENSITIVE,
                             folder, security);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  ULONG options = FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT;
  if (kind == EntryKind::kFolder) options |= FILE_DIRECTORY_FILE;
  if (kind == EntryKind::kFile) options |= FILE_NON_DIRECTORY_FILE;
  const NTSTATUS status =
      ::NtCreateFile(&handle, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES,
                     &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                     mode == OpenMode::kCreateNew ? FILE_CREATE : FILE_OPEN,
                     options, nullptr, 0);
  if (!NT_SUCCESS(status)) return Refused(::RtlNtStatusToDosError(status));
  UniqueFileHandle entry(handle);

  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(entry.get(), &info)) {
    return Refused(::GetLastError());
  }
  const bool reparse_point =
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if ((reparse_point && kind != EntryKind::kAnything) ||
      !SamePath(FinalPathOf(entry.get()), Joined(folder_path, name))) {
    return Refused(kLinkRefusedError);
  }
  return entry;
}

bool DeleteOpenEntry(HANDLE entry) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return ::SetFileInformationByHandle(entry, FileDispositionInfo, &disposition,
                                      sizeof(disposition)) != FALSE;
}

bool RenameOpenEntry(HANDLE entry, HANDLE folder, const std::wstring& name,
                     bool replace) {
  const std::wstring folder_path = FinalPathOf(folder);
  if (!IsOneComponent(name) || folder_path.empty()) {
    ::SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  // Without a root folder the native call takes the target as a full
  // object path: \??\C:\... or \??\UNC\server\share\... .
  const std::wstring dos = Joined(folder_path, name);
  const std::wstring target = dos.compare(0, 2, L"\\\\") == 0
                                  ? L"\\??\\UNC\\" + dos.substr(2)
                                  : L"\\??\\" + dos;
  const size_t name_bytes = target.size() * sizeof(wchar_t);
  // FILE_RENAME_INFO is laid out as the native FILE_RENAME_INFORMATION and
  // ends in the name; the buffer is of its own type so that it is aligned
  // for it.
  const size_t bytes =
      offsetof(FILE_RENAME_INFO, FileName) + name_bytes + sizeof(wchar_t);
  std::vector<FILE_RENAME_INFO> buffer((bytes + sizeof(FILE_RENAME_INFO) - 1) /
                                       sizeof(FILE_RENAME_INFO));
  FILE_RENAME_INFO& info = buffer.front();
  info.ReplaceIfExists = replace ? TRUE : FALSE;
  info.RootDirectory = nullptr;
  info.FileNameLength = static_cast<DWORD>(name_bytes);
  target.copy(info.FileName, target.size());
  info.FileName[target.size()] = L'\0';
  IO_STATUS_BLOCK io{};
  const NTSTATUS status = ::NtSetInformationFile(
      entry, &io, &info, static_cast<ULONG>(bytes), FileRenameInformation);
  if (!NT_SUCCESS(status)) {
    ::SetLastError(::RtlNtStatusToDosError(status));
    return false;
  }
  return true;
}

std::wstring FinalPathOf(HANDLE object) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(
        object, &path[0], static_cast<DWORD>(path.size()),
        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    // Too small: `length` is the size needed, terminator included. A path
    // has at most 32767 characters, so this ends.
    if (length > 0x8000) return std::wstring();
    path.resize(length);
  }
  static constexpr wchar_t kUncPrefix[] = L"\\\\?\\UNC\\";
  static constexpr wchar_t kPrefix[] = L"\\\\?\\";
  if (path.compare(0, 8, kUncPrefix) == 0) return L"\\\\" + path.substr(8);
  if (path.compare(0, 4, kPrefix) == 0) return path.substr(4);
  return path;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  const std::wstring left = WithoutTrailingSeparator(a);
  const std::wstring right = WithoutTrailingSeparator(b);
  return !left.empty() &&
         ::CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()),
                                right.c_str(), static_cast<int>(right.size()),
                                TRUE) == CSTR_EQUAL;
}

UniqueFileHandle OpenNoFollow(const std::wstring& path, DWORD access,
                              DWORD share, DWORD disposition, DWORD flags,
                              SECURITY_ATTRIBUTES* attributes) {
  return UniqueFileHandle(
      ::CreateFileW(path.c_str(), access, share, attributes, disposition,
                    flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

UniqueLocalMemory ReadSecurity(HANDLE object, DWORD& error) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  error =
      ::GetSecurityInfo(object, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, nullptr, nullptr, &descriptor);
  return UniqueLocalMemory(error == ERROR_SUCCESS ? descriptor : nullptr);
}

DWORD AttributesNoFollow(const std::wstring& path, HANDLE object) {
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD by_path = ::GetFileAttributesW(path.c_str());
  if (!::GetFileInformationByHandle(object, &info) ||
      by_path == INVALID_FILE_ATTRIBUTES) {
    return INVALID_FILE_ATTRIBUTES;
  }
  return info.dwFileAttributes | (by_path & FILE_ATTRIBUTE_REPARSE_POINT);
}
