// WireGuard for Windows' tools as this program drives them: locating
// wireguard.exe and wg.exe, installing and removing the tunnel service,
// showing the tunnel. Keeps no tunnel state: the controller does.
#ifndef KEELHAVEN_TUNNEL_WIREGUARD_TOOLS_H_
#define KEELHAVEN_TUNNEL_WIREGUARD_TOOLS_H_

#include <cstdint>
#include <optional>
#include <string>

#include "tunnel/tunnel_system.h"

// Told to the user when wireguard.exe can't be found; ends with the address
// of WireGuard for Windows' installation page.
extern const char kWireGuardNotInstalledMessage[];

class WireGuardTools {
 public:
  // Works through `system`, which must outlive this object.
  explicit WireGuardTools(const TunnelSystem& system) : system_(system) {}

  // Full paths of the tools, or empty strings when not found. Searched anew
  // at every call; only wireguard.exe's search is logged.
  std::wstring FindWireGuardExe() const;
  std::wstring FindWgExe() const;

  // Installs the tunnel service from the configuration file, after
  // removing an earlier one, and reports what wg.exe shows of it. On false,
  // error_message holds the reason for the user.
  bool InstallTunnelService(const std::wstring& config_path,
                            std::string& error_message) const;
  // Removes the tunnel service. Gives why the outcome is in doubt (also
  // logged), or nothing when the tunnel is gone.
  std::optional<std::string> UninstallTunnelService() const;

  // Runs `"<wg>" show Keelhaven` (with " dump" when `dump`) under
  // `timeout_ms`, its output captured; a dump is logged with its secrets
  // hidden. Gives RunCommand's result.
  int32_t ShowTunnel(const std::wstring& wg, bool dump, uint32_t timeout_ms,
                     std::string& output) const;

 private:
  std::wstring FindTool(const wchar_t* file_name, bool log) const;
  int32_t RunTool(const std::wstring& command_line, std::string& output,
                  uint32_t timeout_ms,
                  const OutputLogFilter& log_filter = OutputLogFilter()) const;

  const TunnelSystem& system_;
};

#endif  // KEELHAVEN_TUNNEL_WIREGUARD_TOOLS_H_
