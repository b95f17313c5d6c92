#include "util/held_folder.h"

#include <string>
#include <utility>

#include "util/relative_file.h"

namespace {

// The long form of `path` (GetTempPathW may give 8.3 names such as
// ADMINI~1, which a handle's path never shows); `path` itself when there is
// none.
std::wstring LongForm(const std::wstring& path) {
  std::wstring result(MAX_PATH, L'\0');
  DWORD length = ::GetLongPathNameW(path.c_str(), &result[0],
                                    static_cast<DWORD>(result.size()));
  if (length >= result.size()) {
    result.resize(length);
    length = ::GetLongPathNameW(path.c_str(), &result[0],
                                static_cast<DWORD>(result.size()));
  }
  if (length == 0 || length >= result.size()) return path;
  result.resize(length);
  return result;
}

HeldFolder Failed(DWORD error) {
  ::SetLastError(error);
  return HeldFolder();
}

}  // namespace

HeldFolder HeldFolder::OpenPath(const std::wstring& path,
                                ACCESS_MASK extra_access) {
  UniqueFileHandle handle(::CreateFileW(
      path.c_str(), kHeldFolderAccess | extra_access, kHeldFolderShare, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
      nullptr));
  if (!handle) return Failed(::GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle.get(), &info)) {
    return Failed(::GetLastError());
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Failed(ERROR_DIRECTORY);
  }
  // A link at the last component is opened as itself; one further up is
  // followed, and then the handle's own path differs from the one asked
  // for.
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
      !SamePath(FinalPathOf(handle.get()), LongForm(path))) {
    return Failed(kLinkRefusedError);
  }
  return HeldFolder(std::move(handle), path);
}

HeldFolder HeldFolder::OpenIn(const HeldFolder& parent,
                              const std::wstring& name,
                              ACCESS_MASK extra_access) {
  UniqueFileHandle handle =
      OpenInFolder(parent.get(), name, EntryKind::kFolder, OpenMode::kExisting,
                   kHeldFolderAccess | extra_access, kHeldFolderShare);
  if (!handle) return HeldFolder();
  return HeldFolder(std::move(handle), parent.path() + L"\\" + name);
}

HeldFolder HeldFolder::CreateIn(const HeldFolder& parent,
                                const std::wstring& name,
                                const SecurityDescriptor& descriptor) {
  if (!descriptor) return Failed(ERROR_INVALID_SECURITY_DESCR);
  UniqueFileHandle handle =
      OpenInFolder(parent.get(), name, EntryKind::kFolder, OpenMode::kCreateNew,
                   kHeldFolderAccess, kHeldFolderShare, descriptor.get());
  if (!handle) return HeldFolder();
  return HeldFolder(std::move(handle), parent.path() + L"\\" + name);
}

UniqueFileHandle OpenFileInFolder(const HeldFolder& folder,
                                  const std::wstring& name, ACCESS_MASK access,
                                  DWORD share) {
  return OpenInFolder(folder.get(), name, EntryKind::kFile, OpenMode::kExisting,
                      access, share);
}

UniqueFileHandle CreateFileInFolder(const HeldFolder& folder,
                                    const std::wstring& name,
                                    ACCESS_MASK access, DWORD share,
                                    const SecurityDescriptor& descriptor) {
  if (!descriptor) {
    ::SetLastError(ERROR_INVALID_SECURITY_DESCR);
    return UniqueFileHandle();
  }
  if (!DeleteFileInFolder(folder, name) &&
      ::GetLastError() != ERROR_FILE_NOT_FOUND) {
    return UniqueFileHandle();
  }
  return OpenInFolder(folder.get(), name, EntryKind::kFile,
                      OpenMode::kCreateNew, access, share, descriptor.get());
}

bool DeleteFileInFolder(const HeldFolder& folder, const std::wstring& name) {
  const UniqueFileHandle file =
      OpenFileInFolder(folder, name, DELETE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  return file && DeleteOpenEntry(file.get());
}

bool RenameFileInFolder(const HeldFolder& folder, const std::wstring& from,
                        const std::wstring& to) {
  const UniqueFileHandle file =
      OpenFileInFolder(folder, from, DELETE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  return file && RenameOpenEntry(file.get(), folder.get(), to, true);
}
