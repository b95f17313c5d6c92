// A folder this process works in, held open for as long as it does, and
// the files in it, reached relative to that handle (util/relative_file.h).
// The handle is opened without delete sharing: while it is open nobody can
// rename, remove or replace the folder, so a file reached through it is in
// the folder that was checked, whatever happens to the paths around it.
#ifndef KEELHAVEN_UTIL_HELD_FOLDER_H_
#define KEELHAVEN_UTIL_HELD_FOLDER_H_

#include <string>
#include <utility>

#include "util/security_descriptor.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

// What a held folder's handle may do: list and reach its entries and read
// its security. `kMayMove` adds what renaming it needs.
constexpr ACCESS_MASK kHeldFolderAccess =
    READ_CONTROL | FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
// Windows applies a handle's sharing only when it was opened with data
// access (read, write, execute: listing or traversing, for a folder) or
// DELETE; one with only attribute or security access blocks nothing. The
// listing right is what keeps a held folder from being renamed.
static_assert((kHeldFolderAccess & FILE_LIST_DIRECTORY) != 0,
              "a held folder's handle must take part in sharing checks");
constexpr ACCESS_MASK kMayMove = DELETE;
// Others may read and write through their own handles, never delete.
constexpr DWORD kHeldFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

class HeldFolder {
 public:
  HeldFolder() = default;
  HeldFolder(UniqueFileHandle handle, std::wstring path)
      : handle_(std::move(handle)), path_(std::move(path)) {}

  // The folder at `path`, which must be a real folder reached through no
  // link or mount point at any component: the path its handle resolves
  // to must be `path` itself. Invalid on any failure, with the Windows
  // error (kLinkRefusedError for a link) in GetLastError.
  static HeldFolder OpenPath(const std::wstring& path,
                             ACCESS_MASK extra_access = 0);
  // The folder `name` in `parent`, opened as itself (never a link).
  static HeldFolder OpenIn(const HeldFolder& parent, const std::wstring& name,
                           ACCESS_MASK extra_access = 0);
  // A new folder `name` in `parent`, with `descriptor`; fails when anything
  // of that name is there.
  static HeldFolder CreateIn(const HeldFolder& parent, const std::wstring& name,
                             const SecurityDescriptor& descriptor);

  bool valid() const { return handle_.valid(); }
  explicit operator bool() const { return valid(); }
  HANDLE get() const { return handle_.get(); }
  // The path the folder had when it was opened, for log lines; files are
  // never reached through it.
  const std::wstring& path() const { return path_; }

 private:
  UniqueFileHandle handle_;
  std::wstring path_;
};

// --- Files in a held folder ---------------------------------------------
// `name` is a file name in the folder (one component). A link there is
// never followed: the calls fail on it (kLinkRefusedError), and so nothing
// behind a link is read, written, renamed or deleted.

// Opens an existing file.
UniqueFileHandle OpenFileInFolder(const HeldFolder& folder,
                                  const std::wstring& name, ACCESS_MASK access,
                                  DWORD share);
// Creates the file anew with `descriptor`: a file of that name is deleted
// first, so the new one never keeps an earlier file's security; anything
// else there (a folder, a link) fails the creation.
UniqueFileHandle CreateFileInFolder(const HeldFolder& folder,
                                    const std::wstring& name,
                                    ACCESS_MASK access, DWORD share,
                                    const SecurityDescriptor& descriptor);
// Deletes the file. False when there is none (ERROR_FILE_NOT_FOUND) or it
// can't be deleted.
bool DeleteFileInFolder(const HeldFolder& folder, const std::wstring& name);
// Renames file `from` to `to` in the folder, replacing a file `to`.
bool RenameFileInFolder(const HeldFolder& folder, const std::wstring& from,
                        const std::wstring& to);

#endif  // KEELHAVEN_UTIL_HELD_FOLDER_H_
