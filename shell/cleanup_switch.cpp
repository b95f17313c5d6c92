#include "shell/cleanup_switch.h"

#include <algorithm>

#include "shell/folder_removal.h"
#include "tunnel/config_file.h"
#include "tunnel/tunnel_controller.h"
#include "util/native_log.h"
#include "util/windows_include.h"

const char kCleanupSwitch[] = "--uninstall-cleanup";

namespace {

constexpr int kTunnelLeft = 2;
constexpr int kFolderLeft = 4;

// Takes the tunnel down through WireGuard for Windows. False when it may
// still be installed.
bool TakeDownTunnel() {
  TunnelController controller;
  if (controller.FindWireGuardExe().empty()) {
    NativeLog(
        "Clean-up: WireGuard for Windows not found, no tunnel to take down");
    return true;
  }
  std::string doubt;
  controller.UninstallTunnelService(doubt);
  return doubt.empty();
}

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
  if (!TakeDownTunnel()) code |= kTunnelLeft;
  if (!RemoveConfigFolder()) code |= kFolderLeft;
  static constexpr const char* kMeaning[] = {
      "nothing left",
      "",
      "the tunnel may still be installed",
      "",
      "the folder is still there",
      "",
      "the tunnel and the folder may remain"};
  NativeLog("Clean-up: exit code " + std::to_string(code) + " (" +
            kMeaning[code] + ")");
  return code;
}
