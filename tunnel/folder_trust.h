// What the elevated host may rely on in the file system. It writes the
// tunnel's private key into a folder under the machine-wide application
// data, where any user may create folders, and it runs WireGuard's tools
// found on the search path, which may hold folders of any user. A folder
// or program counts only when no other account can reach (or change) it.
#ifndef KEELHAVEN_TUNNEL_FOLDER_TRUST_H_
#define KEELHAVEN_TUNNEL_FOLDER_TRUST_H_

#include <string>

#include "util/held_folder.h"
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

// A folder's parent: nothing that renames or deletes its entries or
// changes its security. Others may add entries (users may, in the
// machine's application data).
constexpr ACCESS_MASK kParentChangeAccess =
    DELETE | WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD | GENERIC_ALL;

// Where a configuration folder lies, which decides what is done with one
// that can't be trusted as it stands.
enum class FolderOrigin {
  // Under the machine-wide application data: moved aside, and a new one
  // made in its place.
  kMachine,
  // Directly in the temporary-files folder, a path from the user's
  // environment: used only as it stands, never moved aside.
  kUserEnvironment,
};

// kUserEnvironment when `folder` lies directly in the folder GetTempPathW
// reports, else kMachine.
FolderOrigin OriginOf(const std::wstring& folder);

// The parent rule: true when no other account may change the folder that
// holds the configuration folder (kParentChangeAccess). For the temporary
// folder the trust rule as it is; for the machine's application data, which
// is Windows' own, the running account counts as ours whatever its token.
bool IsUnchangeableParent(PSECURITY_DESCRIPTOR descriptor,
                          const TokenFacts& token, FolderOrigin origin);

// Takes `folder` for this process to work in and holds it (util/held_folder.h).
// Its parent, opened without following a link at any component and held
// meanwhile, must pass the parent rule. Then:
// - missing: created for SYSTEM and Administrators only, relative to the
//   parent; a folder made in this run is trusted for the run;
// - there and trusted as it stands (the trust rule with kAnyAccess), or
//   made in this run: held as it is;
// - anything else (others may reach it, a file, a junction): never
//   repaired. A kMachine folder is renamed through its handle to
//   <name>.untrusted-<32 hex digits> beside it, with one "WARNING: " line
//   naming both, and a new one is made; the only thing touched inside the
//   moved folder is a Keelhaven.conf, deleted relative to its handle so no
//   key stays on disk. A kUserEnvironment folder is refused.
// A link the file system follows anyway (Wine's Unix symbolic links) is
// refused and nothing behind it is touched. Every refusal or failure,
// creating the new folder included, gives an invalid folder after an
// "ERROR: " line; then nothing may be written.
HeldFolder TakeTrustedFolder(const std::wstring& folder, FolderOrigin origin);

// What a moved-aside folder's name adds to the folder's: ".untrusted-",
// then 32 hex digits.
extern const wchar_t kMovedAsideMark[];
constexpr size_t kMovedAsideRandomDigits = 32;

#endif  // KEELHAVEN_TUNNEL_FOLDER_TRUST_H_
