// What the elevated host may rely on in the file system. It writes the
// tunnel's private key into a folder under the machine-wide application
// data, where any user may create folders, and it runs WireGuard's tools
// found on the search path, which may hold folders of any user. A folder
// or program counts only when no other account can reach (or change) it.
#ifndef KEELHAVEN_TUNNEL_FOLDER_TRUST_H_
#define KEELHAVEN_TUNNEL_FOLDER_TRUST_H_

#include <string>

#include "util/token_facts.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

// Access that no other account may be granted.
// The configuration folder: nothing at all.
constexpr ACCESS_MASK kAnyAccess = ~ACCESS_MASK{0};
// A program the host runs: nothing that changes it, its attributes, its
// security or, for a folder, its entries. Reading and running are fine.
constexpr ACCESS_MASK kWriteAccess =
    FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
    FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
    GENERIC_ALL;

// The trust rule. True when the descriptor's owner is SYSTEM,
// Administrators, TrustedInstaller or the token's sole user (its user
// when the token is not split, TokenFacts::SoleUser), and its DACL grants
// none of `forbidden` to any other account (a missing or null DACL grants
// everything to everyone). ACEs that only pass to children (inherit-only)
// don't count; deny ACEs are never relied on.
bool IsTrustedDescriptor(PSECURITY_DESCRIPTOR descriptor,
                         const TokenFacts& token, ACCESS_MASK forbidden);

// Makes `folder` a place the key may be written to and gives a handle on
// it, held open so that the folder can't be renamed, removed or replaced
// while the caller works in it. A missing folder is created for SYSTEM and
// Administrators only, and is trusted as made. An existing folder is
// judged by the trust rule; one that others can reach gets owner
// Administrators and that access, read back to be sure, with a "WARNING: "
// line. A link, a folder whose access can't be reset, or any failure gives
// an invalid handle after an "ERROR: " line; then nothing may be written.
UniqueFileHandle EnsureTrustedFolder(const std::wstring& folder);

// True when the file at `path` and the folder holding it are no links and
// no other account may change them (the rule above with kWriteAccess).
bool IsTrustedProgram(const std::wstring& path);

// --- Files, never through a link -------------------------------------------
// CreateFileW on the object at `path` itself: a symbolic link or junction
// there is opened as what it is and never followed. `flags` are attributes
// and FILE_FLAG_... values besides FILE_FLAG_OPEN_REPARSE_POINT.
UniqueFileHandle OpenNoFollow(const std::wstring& path, DWORD access,
                              DWORD share, DWORD disposition, DWORD flags,
                              SECURITY_ATTRIBUTES* attributes = nullptr);
// Marks a file opened with DELETE access for deletion when its last handle
// closes. False when Windows refuses.
bool DeleteNoFollow(HANDLE file);
// Deletes the file at `path` (a link there itself, not its target). False
// when there is none or it can't be deleted; a folder is never deleted.
bool DeleteFileNoFollow(const std::wstring& path);

#endif  // KEELHAVEN_TUNNEL_FOLDER_TRUST_H_
