// Tunnel names as the WireGuard tools accept them, and how a configuration
// file's path names its tunnel.
#ifndef KEELHAVEN_STANDINS_WIREGUARD_TUNNEL_NAME_H_
#define KEELHAVEN_STANDINS_WIREGUARD_TUNNEL_NAME_H_

#include <string>
#include <string_view>

// True for 1 to 32 characters from a-z, A-Z, 0-9 and _ = + . -; such a name
// is also safe to use as a file name inside the state folder.
bool IsValidTunnelName(std::wstring_view name);

// The file name of `config_path` (after the last \ or /) without its
// ".conf" ending (any letter case). False, with `name` untouched, when the
// path does not end in ".conf". The name is not validated here.
bool TunnelNameFromConfigPath(std::wstring_view config_path,
                              std::wstring* name);

// The name as ASCII bytes; only meaningful for a valid name.
std::string NarrowTunnelName(std::wstring_view name);

#endif  // KEELHAVEN_STANDINS_WIREGUARD_TUNNEL_NAME_H_
