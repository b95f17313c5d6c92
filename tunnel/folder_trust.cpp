#include "tunnel/folder_trust.h"

#include <aclapi.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tunnel/config_location.h"
#include "tunnel/config_security.h"
#include "util/native_log.h"
#include "util/random_hex.h"
#include "util/relative_file.h"

const wchar_t kMovedAsideMark[] = L".untrusted-";

namespace {

// NT SERVICE\TrustedInstaller, which owns Windows' own files.
constexpr DWORD kTrustedInstallerRids[] = {80,         956008885,  3418522649,
                                           1831038044, 1853292631, 2271478464};

bool IsTrustedInstaller(PSID sid) {
  BYTE buffer[SECURITY_MAX_SID_SIZE];
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  constexpr BYTE kCount = sizeof(kTrustedInstallerRids) / sizeof(DWORD);
  if (!::InitializeSid(buffer, &nt, kCount)) return false;
  for (BYTE i = 0; i < kCount; ++i) {
    *::GetSidSubAuthority(buffer, i) = kTrustedInstallerRids[i];
  }
  return ::EqualSid(sid, buffer) != FALSE;
}

bool IsTrustedAccount(PSID sid, const TokenFacts& token) {
  const PSID sole_user = token.SoleUser();
  return sid != nullptr && ::IsValidSid(sid) &&
         (::IsWellKnownSid(sid, WinLocalSystemSid) ||
          ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
          IsTrustedInstaller(sid) ||
          (sole_user != nullptr && ::EqualSid(sid, sole_user)));
}

bool IsDenyAce(BYTE type) {
  return type == ACCESS_DENIED_ACE_TYPE ||
         type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
         type == ACCESS_DENIED_CALLBACK_ACE_TYPE ||
         type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE;
}

// Folders this process made in this run, each with the configuration
// folder's descriptor: trusted for the run. Known by path, volume and file
// index, so a folder put in the place of one is another folder (NTFS keeps
// a sequence number in the index; the path guards against a file system
// that hands a freed index to a new folder elsewhere).
class FoldersMadeThisRun {
 public:
  void Add(const std::wstring& path, HANDLE folder) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::optional<Id> id = IdOf(path, folder);
    if (id) ids_.push_back(*id);
  }
  bool Has(const std::wstring& path, HANDLE folder) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::optional<Id> id = IdOf(path, folder);
    return id && std::find(ids_.begin(), ids_.end(), *id) != ids_.end();
  }

 private:
  using Id = std::tuple<std::wstring, DWORD, DWORD, DWORD>;
  static std::optional<Id> IdOf(const std::wstring& path, HANDLE folder) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(folder, &info)) return std::nullopt;
    return Id{path, info.dwVolumeSerialNumber, info.nFileIndexHigh,
              info.nFileIndexLow};
  }
  std::mutex mutex_;
  std::vector<Id> ids_;
};

// Never destroyed: a folder may be checked while static objects go.
FoldersMadeThisRun& MadeThisRun() {
  static FoldersMadeThisRun* const made = new FoldersMadeThisRun();
  return *made;
}

HeldFolder Refuse(const std::wstring& folder, const std::string& why) {
  NativeLog("ERROR: Folder not trusted, nothing is written there: " +
            WideToUtf8(folder) + " (" + why + ")");
  return HeldFolder();
}

std::string Error(const char* what, DWORD code) {
  return std::string(what) + ", error " + std::to_string(code);
}

// Deletes the configuration file an earlier run may have left in a folder
// that was moved aside, so that no private key stays on disk. Reached
// relative to the moved folder's handle; nothing else in it is touched.
void DeleteLeftKey(HeldFolder moved) {
  const std::wstring name = ConfigFileName();
  if (DeleteFileInFolder(moved, name)) return;
  const DWORD error = ::GetLastError();
  if (error == ERROR_FILE_NOT_FOUND) return;
  NativeLog(
      "WARNING: Could not delete the configuration file in the folder moved "
      "aside (error: " +
      std::to_string(error) + "): " + WideToUtf8(moved.path() + L"\\" + name));
}

// Renames what stands at `name` in `parent` (a file, a folder, a junction:
// opened as itself) to a new unique name beside it, and gives the path it
// now has; empty after an "ERROR: " line when it can't be moved.
std::wstring MoveAside(const HeldFolder& parent, const std::wstring& name,
                       const std::wstring& folder) {
  UniqueFileHandle entry =
      OpenInFolder(parent.get(), name, EntryKind::kAnything,
                   OpenMode::kExisting, DELETE, FILE_SHARE_READ);
  if (!entry) {
    const DWORD error = ::GetLastError();
    // Wine follows a Unix symbolic link even when asked not to, and then
    // the handle is the folder it points to: nothing is moved.
    Refuse(folder, error == kLinkRefusedError
                       ? "it is a link"
                       : Error("can't open it to move it aside", error));
    return std::wstring();
  }
  const std::wstring random = RandomHex();
  if (random.empty()) {
    Refuse(folder, "no random name to move it aside to");
    return std::wstring();
  }
  const std::wstring moved_name = name + kMovedAsideMark + random;
  if (!RenameOpenEntry(entry.get(), parent.get(), moved_name, false)) {
    Refuse(folder, Error("can't move it aside", ::GetLastError()));
    return std::wstring();
  }
  const std::wstring moved = parent.path() + L"\\" + moved_name;
  NativeLog(
      "WARNING: Folder could not be trusted as it was; moved it aside to " +
      WideToUtf8(moved) + " and made a new one: " + WideToUtf8(folder));
  // Only a real folder is looked into: a junction's entries are another
  // folder's.
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(entry.get(), &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    DeleteLeftKey(HeldFolder(std::move(entry), moved));
  }
  return moved;
}

// The folder that holds `folder`, and the name of `folder` in it.
bool Split(const std::wstring& folder, std::wstring& parent,
           std::wstring& name) {
  const size_t slash = folder.find_last_of(L"\\/");
  if (slash == std::wstring::npos || slash + 1 == folder.size()) return false;
  parent = folder.substr(0, slash);
  if (parent.size() == 2 && parent[1] == L':') parent += L'\\';  // a root
  name = folder.substr(slash + 1);
  return true;
}

}  // namespace

bool IsTrustedDescriptor(PSECURITY_DESCRIPTOR descriptor,
                         const TokenFacts& token, ACCESS_MASK forbidden) {
  PSID owner = nullptr;
  BOOL owner_defaulted = FALSE;
  if (descriptor == nullptr ||
      !::GetSecurityDescriptorOwner(descriptor, &owner, &owner_defaulted) ||
      !IsTrustedAccount(owner, token)) {
    return false;
  }
  BOOL present = FALSE;
  BOOL dacl_defaulted = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl,
                                   &dacl_defaulted) ||
      !present || dacl == nullptr) {
    return false;  // no DACL: everyone may do everything
  }
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(dacl, i, &ace)) return false;
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if ((header->AceFlags & INHERIT_ONLY_ACE) || IsDenyAce(header->AceType)) {
      continue;
    }
    // Object and callback ACEs grant under conditions this rule can't
    // judge: they count as granting.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if ((allowed->Mask & forbidden) != 0 &&
        !IsTrustedAccount(&allowed->SidStart, token)) {
      return false;
    }
  }
  return true;
}

bool IsUnchangeableParent(PSECURITY_DESCRIPTOR descriptor,
                          const TokenFacts& token, FolderOrigin origin) {
  if (origin == FolderOrigin::kUserEnvironment) {
    return IsTrustedDescriptor(descriptor, token, kParentChangeAccess);
  }
  // The machine's application data is Windows' own (SYSTEM's, where users
  // may only add entries); what counts is that no one else may rename or
  // delete what is in it. Its owner and the running account count as ours:
  // Wine reads every owner back as the running account, and a folder made
  // there is held open and known by its file index, so a swap between runs
  // is found (and moved aside) rather than used.
  const TokenFacts unsplit =
      TokenFacts::Of(token.UserText().c_str(), TokenElevationTypeDefault);
  return IsTrustedDescriptor(descriptor, unsplit, kParentChangeAccess);
}

FolderOrigin OriginOf(const std::wstring& folder) {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  std::wstring parent;
  std::wstring name;
  if (length == 0 || length > MAX_PATH || !Split(folder, parent, name)) {
    return FolderOrigin::kMachine;
  }
  return SamePath(parent, std::wstring(temp, length))
             ? FolderOrigin::kUserEnvironment
             : FolderOrigin::kMachine;
}

HeldFolder TakeTrustedFolder(const std::wstring& folder, FolderOrigin origin) {
  // Without the descriptor nothing is created: default security would let
  // others in.
  const SecurityDescriptor descriptor(kConfigFolderSddl);
  if (!descriptor.valid()) return Refuse(folder, "no security descriptor");
  const TokenFacts token = TokenFacts::OfThisProcess();
  if (!token.valid()) return Refuse(folder, "no account to run as");
  std::wstring parent_path;
  std::wstring name;
  if (!Split(folder, parent_path, name))
    return Refuse(folder, "no folder name");

  // Held, without delete sharing, while the folder is judged, moved aside
  // or made: the parent can't be swapped meanwhile.
  const HeldFolder parent = HeldFolder::OpenPath(parent_path);
  if (!parent) {
    return Refuse(folder,
                  Error("can't open its parent as itself", ::GetLastError()));
  }
  DWORD error = ERROR_SUCCESS;
  const UniqueLocalMemory parent_security = ReadSecurity(parent.get(), error);
  if (!parent_security) {
    return Refuse(folder, Error("can't read its parent's access", error));
  }
  if (!IsUnchangeableParent(parent_security.get(), token, origin)) {
    return Refuse(folder, "others may change its parent");
  }

  // Without DELETE access: the folder may be held already (the log file
  // does), without delete sharing.
  HeldFolder existing = HeldFolder::OpenIn(parent, name);
  error = existing ? ERROR_SUCCESS : ::GetLastError();
  if (existing) {
    // Made with the descriptor in this run: nobody else has had it,
    // whatever owner the file system reads back.
    if (MadeThisRun().Has(folder, existing.get())) return existing;
    const UniqueLocalMemory security = ReadSecurity(existing.get(), error);
    if (security && IsTrustedDescriptor(security.get(), token, kAnyAccess)) {
      return existing;
    }
  }
  if (error != ERROR_FILE_NOT_FOUND) {
    // Never repaired: whoever made it keeps the handles they opened
    // before, and what they put inside.
    if (origin == FolderOrigin::kUserEnvironment) {
      return Refuse(folder, "others can reach it");
    }
    existing = HeldFolder();
    if (MoveAside(parent, name, folder).empty()) {
      return HeldFolder();
    }
  }
  HeldFolder created = HeldFolder::CreateIn(parent, name, descriptor);
  if (!created)
    return Refuse(folder, Error("can't create it", ::GetLastError()));
  MadeThisRun().Add(folder, created.get());
  return created;
}
