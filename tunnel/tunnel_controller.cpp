#include "tunnel/tunnel_controller.h"

#include <utility>

#include "tunnel/config_file.h"
#include "util/windows_include.h"

const char kChannelName[] = "com.daltic.halberdix/wireguard";
const char kWireGuardNotInstalledMessage[] =
    "WireGuard for Windows is not installed. Please install it from "
    "https://www.wireguard.com/install/";

TunnelSystem::TunnelSystem()
    : wireguard_folders{L"C:\\Program Files\\WireGuard",
                        L"C:\\Program Files (x86)\\WireGuard"},
      config_directory(GetConfigDirectory),
      run_command(RunCommand),
      sleep([](uint32_t milliseconds) { ::Sleep(milliseconds); }) {}

TunnelController::TunnelController(TunnelSystem system)
    : system_(std::move(system)) {}

void TunnelController::RemoveServiceAndConfig() {
  std::string ignored;
  UninstallTunnelService(ignored);
  DeleteTunnelConfig();
}
