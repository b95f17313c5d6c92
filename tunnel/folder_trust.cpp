#include "tunnel/folder_trust.h"

#include <aclapi.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tunnel/config_security.h"
#include "util/native_log.h"

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

// Owner and DACL of an open file or folder; empty on failure, with the
// Windows error in `error`.
UniqueLocalMemory ReadSecurity(HANDLE object, DWORD& error) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  error =
      ::GetSecurityInfo(object, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, nullptr, nullptr, &descriptor);
  return UniqueLocalMemory(error == ERROR_SUCCESS ? descriptor : nullptr);
}

// The attributes of an object opened without following links, as its
// handle and its path tell them: Windows reports a link through the handle,
// Wine (which follows Unix symbolic links when opening) only through the
// path. Invalid attributes when either can't be read.
DWORD Attributes(const std::wstring& path, HANDLE object) {
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD by_path = ::GetFileAttributesW(path.c_str());
  if (!::GetFileInformationByHandle(object, &info) ||
      by_path == INVALID_FILE_ATTRIBUTES) {
    return INVALID_FILE_ATTRIBUTES;
  }
  return info.dwFileAttributes | (by_path & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Opens the object itself, never what a link points to. Folders need
// backup semantics to be opened at all.
UniqueFileHandle OpenObject(const std::wstring& path, DWORD access,
                            DWORD share) {
  return OpenNoFollow(path, access, share, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS);
}

bool IsTrustedObject(const std::wstring& path, const TokenFacts& token) {
  const UniqueFileHandle object =
      OpenObject(path, READ_CONTROL | FILE_READ_ATTRIBUTES,
                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (!object ||
      (Attributes(path, object.get()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return false;  // also when the attributes can't be read
  }
  DWORD error = ERROR_SUCCESS;
  const UniqueLocalMemory security = ReadSecurity(object.get(), error);
  return security && IsTrustedDescriptor(security.get(), token, kWriteAccess);
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

UniqueFileHandle Refuse(const std::wstring& folder, const std::string& why) {
  NativeLog("ERROR: Folder not trusted, nothing is written there: " +
            WideToUtf8(folder) + " (" + why + ")");
  return UniqueFileHandle();
}

std::string Error(const char* what, DWORD code) {
  return std::string(what) + ", error " + std::to_string(code);
}

// Creates `folder` with `descriptor`, or opens the one already there, with
// the access needed to reset its security; `created` tells which. A link, a
// file or any failure is refused (logged, invalid handle).
UniqueFileHandle CreateOrOpenFolder(const std::wstring& folder,
                                    const SecurityDescriptor& descriptor,
                                    bool& created) {
  SECURITY_ATTRIBUTES attributes = descriptor.attributes();
  created = ::CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
  if (!created) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS) {
      return Refuse(folder, Error("can't create it", error));
    }
  }
  // No FILE_SHARE_DELETE: while this handle is open nobody can rename or
  // remove the folder to put another in its place.
  UniqueFileHandle handle = OpenObject(
      folder, READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE);
  const DWORD open_error = ::GetLastError();
  if (!handle) return Refuse(folder, Error("can't open it", open_error));
  const DWORD kind = Attributes(folder, handle.get());
  if (kind == INVALID_FILE_ATTRIBUTES) {
    return Refuse(folder, Error("can't read its attributes", ::GetLastError()));
  }
  if (kind & FILE_ATTRIBUTE_REPARSE_POINT) {
    return Refuse(folder, "it is a link");
  }
  if (!(kind & FILE_ATTRIBUTE_DIRECTORY)) return Refuse(folder, "not a folder");
  return handle;
}

// Makes Administrators the owner of the open `folder` and `descriptor`'s
// DACL its access, then reads that back: the handle with a "WARNING: " line
// when no other account can reach the folder any more, else refused.
UniqueFileHandle ResetAccess(const std::wstring& folder,
                             UniqueFileHandle handle,
                             const SecurityDescriptor& descriptor,
                             const TokenFacts& token) {
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(administrators);
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr,
                            administrators, &size)) {
    return Refuse(folder, Error("can't reset its access", ::GetLastError()));
  }
  DWORD error =
      ::SetSecurityInfo(handle.get(), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                            PROTECTED_DACL_SECURITY_INFORMATION,
                        administrators, nullptr, descriptor.dacl(), nullptr);
  if (error != ERROR_SUCCESS) {
    return Refuse(folder, Error("can't reset its access", error));
  }
  const UniqueLocalMemory security = ReadSecurity(handle.get(), error);
  if (!security || !IsTrustedDescriptor(security.get(), token, kAnyAccess)) {
    return Refuse(folder, "others can still reach it");
  }
  NativeLog(
      "WARNING: Folder was open to other accounts; reset to SYSTEM and "
      "Administrators only: " +
      WideToUtf8(folder));
  return handle;
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

UniqueFileHandle EnsureTrustedFolder(const std::wstring& folder) {
  // Without the descriptor nothing is created or mended: default security
  // would let others in.
  const SecurityDescriptor descriptor(kConfigFolderSddl);
  if (!descriptor.valid()) return Refuse(folder, "no security descriptor");
  bool created = false;
  UniqueFileHandle handle = CreateOrOpenFolder(folder, descriptor, created);
  if (!handle) return handle;
  // Made with the descriptor in this run: nobody else has had it, whatever
  // owner the file system reads back.
  if (created) {
    MadeThisRun().Add(folder, handle.get());
    return handle;
  }
  if (MadeThisRun().Has(folder, handle.get())) return handle;

  const TokenFacts token = TokenFacts::OfThisProcess();
  DWORD error = ERROR_SUCCESS;
  const UniqueLocalMemory security = ReadSecurity(handle.get(), error);
  if (!security) return Refuse(folder, Error("can't read its access", error));
  if (IsTrustedDescriptor(security.get(), token, kAnyAccess)) {
    return handle;
  }
  return ResetAccess(folder, std::move(handle), descriptor, token);
}

bool IsTrustedProgram(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return false;
  std::wstring folder = path.substr(0, slash);
  if (folder.size() == 2 && folder[1] == L':') folder += L'\\';  // a root
  const TokenFacts token = TokenFacts::OfThisProcess();
  return IsTrustedObject(path, token) && IsTrustedObject(folder, token);
}

UniqueFileHandle OpenNoFollow(const std::wstring& path, DWORD access,
                              DWORD share, DWORD disposition, DWORD flags,
                              SECURITY_ATTRIBUTES* attributes) {
  return UniqueFileHandle(
      ::CreateFileW(path.c_str(), access, share, attributes, disposition,
                    flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool DeleteNoFollow(HANDLE file) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof(disposition)) != FALSE;
}

bool DeleteFileNoFollow(const std::wstring& path) {
  // Without backup semantics a folder can't be opened, so only files go.
  const UniqueFileHandle file = OpenNoFollow(
      path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  return file && DeleteNoFollow(file.get());
}
