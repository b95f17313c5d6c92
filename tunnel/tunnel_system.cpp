#include "tunnel/tunnel_system.h"

#include <initializer_list>

#include "tunnel/config_file.h"
#include "tunnel/config_folder.h"
#include "tunnel/service_manager.h"
#include "util/windows_include.h"
// After windows.h:
#include <knownfolders.h>
#include <shlobj.h>

namespace {

// <Program Files>\WireGuard and <Program Files (x86)>\WireGuard. A folder
// Windows can't report is left out rather than guessed: a guessed drive
// may be one where any user can create it.
std::vector<std::wstring> WireGuardInstallFolders() {
  std::vector<std::wstring> folders;
  for (const KNOWNFOLDERID& id :
       {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86}) {
    PWSTR path = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path))) {
      folders.push_back(std::wstring(path) + L"\\WireGuard");
    }
    ::CoTaskMemFree(path);
  }
  return folders;
}

}  // namespace

TunnelSystem::TunnelSystem()
    : wireguard_folders(WireGuardInstallFolders()),
      config_directory(GetConfigDirectory),
      config_folder(HoldConfigFolder),
      run_command(RunCommand),
      sleep([](uint32_t milliseconds) { ::Sleep(milliseconds); }),
      tunnel_service_state(QueryTunnelService),
      remove_tunnel_service(StopAndDeleteTunnelService) {}
