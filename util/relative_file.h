// Files and folders reached relative to an open folder, never through a
// link. A path is resolved again, from the drive root down, at every open,
// and a link or mount point at any component sends it elsewhere; these
// calls resolve only one name inside a folder handle the caller holds
// (NtCreateFile with RootDirectory, FILE_OPEN_REPARSE_POINT), and refuse a
// link at that name instead of following it.
#ifndef KEELHAVEN_UTIL_RELATIVE_FILE_H_
#define KEELHAVEN_UTIL_RELATIVE_FILE_H_

#include <string>

#include "util/unique_handle.h"
#include "util/windows_include.h"

// The error a refused link gives (GetLastError).
constexpr DWORD kLinkRefusedError = ERROR_CANT_RESOLVE_FILENAME;

enum class EntryKind {
  kFile,
  kFolder,
  // Whatever is there, a reparse point too, opened as itself (to be moved
  // aside); a link followed anyway is still refused.
  kAnything,
};
enum class OpenMode {
  kExisting,   // fails when the entry is missing
  kCreateNew,  // fails when any entry of that name is there, a link too
};

// Opens `name` in the open folder `folder`. `name` is one component: no
// separator, not empty, "." or "..". Handles are synchronous, so ReadFile
// and WriteFile work on them as on CreateFileW's. Refused, with an invalid
// handle and kLinkRefusedError: a reparse point (a symbolic link, junction
// or mount point, opened as itself and never followed) unless `kind` is
// kAnything, and an entry that the opened handle shows to lie elsewhere
// than <folder>\<name> (a link the file system followed anyway, as Wine
// does with Unix symbolic links).
// Other failures give the Windows error. `security` is the descriptor of a
// created entry (null: inherited from the folder).
UniqueFileHandle OpenInFolder(HANDLE folder, const std::wstring& name,
                              EntryKind kind, OpenMode mode, ACCESS_MASK access,
                              DWORD share,
                              PSECURITY_DESCRIPTOR security = nullptr);

// Marks the entry an open handle (with DELETE access) names for deletion
// when its last handle closes. False when Windows refuses (a folder that
// is not empty, for one).
bool DeleteOpenEntry(HANDLE entry);

// Gives the entry an open handle (with DELETE access) names the name `name`
// in the open folder `folder`, replacing a file of that name only when
// `replace` is set. The target is named by `folder`'s path as its handle
// gives it now: Wine refuses a rename relative to a folder handle, and the
// folder, held open without delete sharing, can't be moved meanwhile.
bool RenameOpenEntry(HANDLE entry, HANDLE folder, const std::wstring& name,
                     bool replace);

// The path of an open file or folder as the file system resolves it now,
// e.g. C:\ProgramData\Keelhaven (no "\\?\" prefix); empty on failure.
std::wstring FinalPathOf(HANDLE object);

// Whether two paths name the same place by Windows' rules for file names
// (case-insensitive, no trailing separator but a drive root's).
bool SamePath(const std::wstring& a, const std::wstring& b);

// --- Files at a path, the last component never followed -------------------
// CreateFileW on the object at `path` itself: a symbolic link or junction
// there is opened as what it is and never followed. `flags` are attributes
// and FILE_FLAG_... values besides FILE_FLAG_OPEN_REPARSE_POINT.
UniqueFileHandle OpenNoFollow(const std::wstring& path, DWORD access,
                              DWORD share, DWORD disposition, DWORD flags,
                              SECURITY_ATTRIBUTES* attributes = nullptr);

// The attributes of an object opened with OpenNoFollow, as its handle and
// its path tell them: Windows reports a link through the handle, Wine
// (which follows Unix symbolic links when opening) only through the path.
// INVALID_FILE_ATTRIBUTES when either can't be read.
DWORD AttributesNoFollow(const std::wstring& path, HANDLE object);
// Owner and DACL of an open file or folder (opened with READ_CONTROL);
// empty on failure, with the Windows error in `error`.
UniqueLocalMemory ReadSecurity(HANDLE object, DWORD& error);

#endif  // KEELHAVEN_UTIL_RELATIVE_FILE_H_
