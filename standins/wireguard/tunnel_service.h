// The service manager's entry of a stand-in tunnel, named as WireGuard for
// Windows names a tunnel's service ("WireGuardTunnel$<name>"), so that the
// host finds an installed tunnel there as it would the real one. The entry
// is never started: it runs the stand-in wireguard.exe, on demand only.
#ifndef KEELHAVEN_STANDINS_WIREGUARD_TUNNEL_SERVICE_H_
#define KEELHAVEN_STANDINS_WIREGUARD_TUNNEL_SERVICE_H_

#include <string>

std::wstring TunnelServiceName(const std::wstring& tunnel_name);

// Creates the entry; true also when it exists already.
bool RegisterTunnelService(const std::wstring& tunnel_name);
// Deletes the entry; true when there was one.
bool DeleteTunnelService(const std::wstring& tunnel_name);
bool TunnelServiceRegistered(const std::wstring& tunnel_name);

#endif  // KEELHAVEN_STANDINS_WIREGUARD_TUNNEL_SERVICE_H_
