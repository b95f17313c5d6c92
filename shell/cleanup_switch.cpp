#include "shell/cleanup_switch.h"

#include <algorithm>

#include "shell/folder_removal.h"
#include "tunnel/config_file.h"
#include "tunnel/tunnel_controller.h"
#include "util/native_log.h"
#include "util/windows_include.h"

const char kCleanupSwitch[] = "--uninstall-cleanup";

namespace {

constexpr int kTunnelLeft = 4;
constexpr int kFolderLeft = 8;

bool RemoveConfigFolder() {
  const std::wstring folder = GetConfigDirectory();
  if (folder.empty()) {
    NativeLog("Clean-up: ERROR: the configuration folder is unknown");
    return false;
  }
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

}  // namespace

bool HasCleanupSwitch(const std::vector<std::string>& arguments) {
  return std::find(arguments.begin(), arguments.end(), kCleanupSwitch) !=
         arguments.end();
}

int RunCleanup() {
  int code = 0;
  if (!TunnelController().OnProgramRemoval()) code |= kTunnelLeft;
  if (!RemoveConfigFolder()) code |= kFolderLeft;
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
