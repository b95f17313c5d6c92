#include "tunnel/wireguard_commands.h"

#include "tunnel/config_file.h"

namespace {

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

std::wstring ShowCommand(const std::wstring& wg) {
  return Quoted(wg) + L" show " + kTunnelName;
}

std::wstring ShowDumpCommand(const std::wstring& wg) {
  return ShowCommand(wg) + L" dump";
}

std::wstring InstallCommand(const std::wstring& wireguard,
                            const std::wstring& config_path) {
  return Quoted(wireguard) + L" /installtunnelservice " + Quoted(config_path);
}

std::wstring UninstallCommand(const std::wstring& wireguard) {
  return Quoted(wireguard) + L" /uninstalltunnelservice " + kTunnelName;
}
