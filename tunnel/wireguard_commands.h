// The command lines this program gives WireGuard for Windows' tools: each
// one built here and nowhere else. Program and configuration paths are
// quoted; the tunnel name (kTunnelName) is not.
#ifndef KEELHAVEN_TUNNEL_WIREGUARD_COMMANDS_H_
#define KEELHAVEN_TUNNEL_WIREGUARD_COMMANDS_H_

#include <string>

// "<wg>" show Keelhaven: the tunnel's interface, if it exists.
std::wstring ShowCommand(const std::wstring& wg);
// "<wg>" show Keelhaven dump: the interface and its peers, one line each,
// tab-separated (tunnel/tunnel_stats.h reads it).
std::wstring ShowDumpCommand(const std::wstring& wg);
// "<wireguard>" /installtunnelservice "<config path>": installs the tunnel
// service, named after the file's stem.
std::wstring InstallCommand(const std::wstring& wireguard,
                            const std::wstring& config_path);
// "<wireguard>" /uninstalltunnelservice Keelhaven: removes that service.
std::wstring UninstallCommand(const std::wstring& wireguard);

#endif  // KEELHAVEN_TUNNEL_WIREGUARD_COMMANDS_H_
