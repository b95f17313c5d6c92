#include "tunnel/tunnel_controller.h"

#include <initializer_list>
#include <utility>

#include "tunnel/config_file.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"
// After windows.h:
#include <knownfolders.h>
#include <shlobj.h>

const char kChannelName[] = "com.daltic.halberdix/wireguard";
const char kWireGuardNotInstalledMessage[] =
    "WireGuard for Windows is not installed. Please install it from "
    "https://www.wireguard.com/install/";

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

// WireGuard for Windows names a tunnel's service after the tunnel.
constexpr wchar_t kServicePrefix[] = L"WireGuardTunnel$";

bool TunnelServiceRegistered() {
  const UniqueServiceHandle manager(
      ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  const std::wstring name = kServicePrefix + std::wstring(kTunnelName);
  const UniqueServiceHandle service(
      ::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
  return service.valid();
}

}  // namespace

TunnelSystem::TunnelSystem()
    : wireguard_folders(WireGuardInstallFolders()),
      config_directory(GetConfigDirectory),
      run_command(RunCommand),
      sleep([](uint32_t milliseconds) { ::Sleep(milliseconds); }),
      tunnel_service_registered(TunnelServiceRegistered) {}

TunnelController::TunnelController(TunnelSystem system)
    : system_(std::move(system)) {}

void TunnelController::RemoveServiceAndConfig() {
  std::string ignored;
  UninstallTunnelService(ignored);
  DeleteTunnelConfig();
}
