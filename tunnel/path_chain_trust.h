// Programs found on the search path, which may hold folders of any user,
// run by this elevated process only when no other account can change the
// program or any folder on its way from the drive root, and only as the
// very objects checked: each is held open, so it can't be renamed,
// replaced or written, from the check until the program has started.
#ifndef KEELHAVEN_TUNNEL_PATH_CHAIN_TRUST_H_
#define KEELHAVEN_TUNNEL_PATH_CHAIN_TRUST_H_

#include <string>
#include <vector>

#include "tunnel/folder_trust.h"
#include "util/token_facts.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

// Access no other account may have on a folder above the program's own:
// what deletes, renames (DELETE on it, FILE_DELETE_CHILD on its parent,
// which is in the chain too) or reshapes it, or changes its security.
// Adding entries beside the chain changes none of it (a drive root lets
// every user create folders).
constexpr ACCESS_MASK kAncestorWriteAccess =
    kWriteAccess & ~(FILE_WRITE_DATA | FILE_APPEND_DATA);

// One object on a program's path, from the drive root down.
struct PathComponent {
  PSECURITY_DESCRIPTOR security;  // owner and DACL; null when unread
  DWORD attributes;               // INVALID_FILE_ATTRIBUTES when unread
};

enum class ChainVerdict {
  kTrusted,
  kNotLocalFixedDrive,  // network, removable, RAM disk, unknown
  kUnreadable,          // a component that couldn't be opened or read
  kNotAProgramPath,     // no folder and file, or a file where a folder is
  kLink,                // a symbolic link, junction or mount point
  kChangeable,          // another account may change a component
};

// The rule. `chain` runs from the drive root to the program; `drive_type`
// is GetDriveTypeW's for its drive. Trusted when the drive is a local fixed
// one and every component is a real folder (the program a real file), not
// a link, owned by SYSTEM, Administrators, TrustedInstaller (or the token's
// sole user), granting no other account kWriteAccess on the program and
// its folder or kAncestorWriteAccess on the folders above.
ChainVerdict JudgeProgramChain(const std::vector<PathComponent>& chain,
                               UINT drive_type, const TokenFacts& token);

// The components of a program's path, opened from the drive root down
// without following links and held without write or delete sharing.
class HeldProgramChain {
 public:
  // Opens and judges the chain of `path` (a full path on a drive letter).
  // Opens nothing beyond a component that can't be read or is a link.
  // Holds nothing unless trusted.
  static HeldProgramChain Open(const std::wstring& path,
                               const TokenFacts& token);

  ChainVerdict verdict() const { return verdict_; }
  // The checked path, to start the program by (normalised).
  const std::wstring& path() const { return path_; }

 private:
  ChainVerdict verdict_ = ChainVerdict::kNotAProgramPath;
  std::wstring path_;
  std::vector<UniqueFileHandle> held_;
};

// A program found by the search path: true when its chain is trusted, and
// then held (as the last one of its file name, replacing any earlier) for
// the runs that follow, until the next lookup of that name.
bool HoldSearchPathProgram(const std::wstring& path);
// Ends the hold of the last program of `file_name` (a new lookup begins).
void ReleaseSearchPathProgram(const std::wstring& file_name);
// The held program that `command_line` starts (its first, quoted field),
// to be given to CreateProcessW as the application name; empty when none.
std::wstring HeldProgramOf(const std::wstring& command_line);

#endif  // KEELHAVEN_TUNNEL_PATH_CHAIN_TRUST_H_
