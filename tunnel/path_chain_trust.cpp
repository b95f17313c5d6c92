#include "tunnel/path_chain_trust.h"

#include <mutex>
#include <utility>

#include "util/relative_file.h"

namespace {

bool IsDriveLetterPath(const std::wstring& path) {
  return path.size() > 3 && path[1] == L':' && path[2] == L'\\' &&
         ((path[0] >= L'A' && path[0] <= L'Z') ||
          (path[0] >= L'a' && path[0] <= L'z'));
}

// `path` made full and plain ("." and ".." resolved); empty when Windows
// can't, or it is no path on a drive letter naming a file below the root.
std::wstring Normalised(const std::wstring& path) {
  const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::wstring();
  std::wstring full(size, L'\0');
  const DWORD length =
      ::GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
  if (length == 0 || length >= size) return std::wstring();
  full.resize(length);
  if (!IsDriveLetterPath(full) || full.back() == L'\\' ||
      full.find(L"\\\\") != std::wstring::npos) {
    return std::wstring();
  }
  return full;
}

// The last component of `path`.
std::wstring FileName(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()),
                                b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// The programs held for the runs after their lookup: one for each file
// name, so never more than the tools this program runs.
struct HeldPrograms {
  struct Entry {
    std::wstring found;  // the path as the search gave it
    HeldProgramChain chain;
  };
  std::mutex mutex;
  std::vector<Entry> entries;

  void Release(const std::wstring& file_name) {
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      if (SameName(FileName(it->found), file_name)) {
        entries.erase(it);
        return;
      }
    }
  }
};

// Never destroyed: a run may start while static objects go.
HeldPrograms& Held() {
  static HeldPrograms* const held = new HeldPrograms();
  return *held;
}

}  // namespace

ChainVerdict JudgeProgramChain(const std::vector<PathComponent>& chain,
                               UINT drive_type, const TokenFacts& token) {
  if (drive_type != DRIVE_FIXED) return ChainVerdict::kNotLocalFixedDrive;
  if (chain.size() < 2) return ChainVerdict::kNotAProgramPath;
  const size_t program = chain.size() - 1;
  // What the chain is first, then who may change it: a link is a link
  // whoever owns it.
  for (size_t i = 0; i < chain.size(); ++i) {
    const PathComponent& component = chain[i];
    if (component.security == nullptr ||
        component.attributes == INVALID_FILE_ATTRIBUTES) {
      return ChainVerdict::kUnreadable;
    }
    if (component.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      return ChainVerdict::kLink;
    }
    const bool folder = (component.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder == (i == program)) return ChainVerdict::kNotAProgramPath;
  }
  for (size_t i = 0; i < chain.size(); ++i) {
    // The program and the folder it is loaded from (a file added there is
    // a library it may load) are closed to all changes; the folders above
    // to those that would move or reshape the chain.
    const ACCESS_MASK forbidden =
        i + 1 >= program ? kWriteAccess : kAncestorWriteAccess;
    if (!IsTrustedDescriptor(chain[i].security, token, forbidden)) {
      return ChainVerdict::kChangeable;
    }
  }
  return ChainVerdict::kTrusted;
}

HeldProgramChain HeldProgramChain::Open(const std::wstring& path,
                                        const TokenFacts& token) {
  HeldProgramChain held;
  held.path_ = Normalised(path);
  if (held.path_.empty()) return held;
  const std::wstring root = held.path_.substr(0, 3);
  const UINT drive_type = ::GetDriveTypeW(root.c_str());

  std::vector<UniqueLocalMemory> descriptors;
  std::vector<PathComponent> chain;
  size_t end = 2;  // the root's backslash
  for (;;) {
    const bool last = end == std::wstring::npos;
    const std::wstring component =
        last ? held.path_ : held.path_.substr(0, end + (end == 2 ? 1 : 0));
    // No FILE_SHARE_WRITE or FILE_SHARE_DELETE: while held, nobody can
    // rename, delete or write it. Windows keeps to that only for a handle
    // with data access (FILE_READ_DATA: listing a folder), not for one with
    // only attribute or security access. Backup semantics open folders too.
    UniqueFileHandle handle = OpenNoFollow(
        component, FILE_READ_DATA | READ_CONTROL | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    PathComponent read{nullptr, INVALID_FILE_ATTRIBUTES};
    if (handle) {
      DWORD error = ERROR_SUCCESS;
      descriptors.push_back(ReadSecurity(handle.get(), error));
      read.security = descriptors.back().get();
      read.attributes = AttributesNoFollow(component, handle.get());
      held.held_.push_back(std::move(handle));
    }
    chain.push_back(read);
    // Nothing beyond a component that can't be read or is a link is
    // opened: a path through it would lead elsewhere.
    if (last || read.security == nullptr ||
        read.attributes == INVALID_FILE_ATTRIBUTES ||
        (read.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      break;
    }
    end = held.path_.find(L'\\', end + 1);
  }
  held.verdict_ = JudgeProgramChain(chain, drive_type, token);
  if (held.verdict_ != ChainVerdict::kTrusted) held.held_.clear();
  return held;
}

bool HoldSearchPathProgram(const std::wstring& path) {
  HeldProgramChain chain =
      HeldProgramChain::Open(path, TokenFacts::OfThisProcess());
  HeldPrograms& held = Held();
  const std::lock_guard<std::mutex> lock(held.mutex);
  held.Release(FileName(path));
  if (chain.verdict() != ChainVerdict::kTrusted) return false;
  held.entries.push_back({path, std::move(chain)});
  return true;
}

void ReleaseSearchPathProgram(const std::wstring& file_name) {
  HeldPrograms& held = Held();
  const std::lock_guard<std::mutex> lock(held.mutex);
  held.Release(file_name);
}

std::wstring HeldProgramOf(const std::wstring& command_line) {
  HeldPrograms& held = Held();
  const std::lock_guard<std::mutex> lock(held.mutex);
  for (const HeldPrograms::Entry& entry : held.entries) {
    const std::wstring quoted = L"\"" + entry.found + L"\"";
    if (command_line.compare(0, quoted.size(), quoted) == 0) {
      return entry.chain.path();
    }
  }
  return std::wstring();
}
