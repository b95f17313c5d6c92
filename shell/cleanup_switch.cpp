#include "shell/cleanup_switch.h"

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "shell/folder_removal.h"
#include "tunnel/config_file.h"
#include "tunnel/folder_trust.h"
#include "tunnel/tunnel_controller.h"
#include "util/native_log.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

const char kCleanupSwitch[] = "--uninstall-cleanup";

namespace {

constexpr int kTunnelLeft = 4;
constexpr int kFolderLeft = 8;

// Removes one folder without following a link, and says how it went.
bool RemoveFolder(const std::wstring& folder) {
  const std::string name = WideToUtf8(folder);
  const FolderRemovalResult result = RemoveFolderNoFollow(folder);
  switch (result.outcome) {
    case FolderRemoval::kRemoved:
      NativeLog("Clean-up: removed " + name);
      return true;
    case FolderRemoval::kAbsent:
      NativeLog("Clean-up: no folder " + name);
      return true;
    case FolderRemoval::kRefused:
      NativeLog("Clean-up: ERROR: " + name +
                " is a link or no folder; left as it is");
      return false;
    case FolderRemoval::kEntriesLeft:
      NativeLog("Clean-up: ERROR: " + std::to_string(result.entries_left) +
                " entries of " + name + " could not be deleted (error: " +
                std::to_string(result.error) + ")");
      return false;
    case FolderRemoval::kFailed:
      break;
  }
  NativeLog("Clean-up: ERROR: could not remove " + name +
            " (error: " + std::to_string(result.error) + ")");
  return false;
}

// Whether `name` is `folder_name` + kMovedAsideMark + 32 hex digits: a
// folder a run of this program moved aside.
bool IsMovedAsideName(const std::wstring& name,
                      const std::wstring& folder_name) {
  const std::wstring prefix = folder_name + kMovedAsideMark;
  if (name.size() != prefix.size() + kMovedAsideRandomDigits ||
      _wcsnicmp(name.c_str(), prefix.c_str(), prefix.size()) != 0) {
    return false;
  }
  return std::all_of(name.begin() + prefix.size(), name.end(),
                     [](wchar_t c) { return std::iswxdigit(c) != 0; });
}

// Removes the configuration folder, then every folder a run moved aside
// beside it (never entered beyond their own entries, like the folder).
bool RemoveConfigFolders() {
  const std::wstring folder = GetConfigDirectory();
  if (folder.empty()) {
    NativeLog("Clean-up: ERROR: the configuration folder is unknown");
    return false;
  }
  bool removed = RemoveFolder(folder);
  const size_t slash = folder.rfind(L'\\');
  const std::wstring parent = folder.substr(0, slash);
  const std::wstring folder_name = folder.substr(slash + 1);
  std::vector<std::wstring> moved;
  WIN32_FIND_DATAW entry = {};
  const UniqueFindHandle find(::FindFirstFileExW(
      (folder + kMovedAsideMark + L"*").c_str(), FindExInfoBasic, &entry,
      FindExSearchNameMatch, nullptr, 0));
  if (find) {
    do {
      if (IsMovedAsideName(entry.cFileName, folder_name)) {
        moved.push_back(parent + L"\\" + entry.cFileName);
      }
    } while (::FindNextFileW(find.get(), &entry));
  }
  for (const std::wstring& path : moved)
    removed = RemoveFolder(path) && removed;
  return removed;
}

}  // namespace

bool HasCleanupSwitch(const std::vector<std::string>& arguments) {
  return std::find(arguments.begin(), arguments.end(), kCleanupSwitch) !=
         arguments.end();
}

int RunCleanup() {
  int code = 0;
  if (!TunnelController().OnProgramRemoval()) code |= kTunnelLeft;
  if (!RemoveConfigFolders()) code |= kFolderLeft;
  const char* meaning = "nothing left";
  if (code == (kTunnelLeft | kFolderLeft)) {
    meaning = "the tunnel service and the folder may remain";
  } else if (code == kTunnelLeft) {
    meaning = "the tunnel service may still be installed";
  } else if (code == kFolderLeft) {
    meaning = "the folder is still there";
  }
  NativeLog("Clean-up: exit code " + std::to_string(code) + " (" + meaning +
            ")");
  return code;
}
