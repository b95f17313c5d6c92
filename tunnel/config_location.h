// Where the tunnel's configuration lives: the tunnel's name, the file's
// name and the folder's path. Names only: the folder is taken and held
// (tunnel/config_folder.h) before anything is written in it.
#ifndef KEELHAVEN_TUNNEL_CONFIG_LOCATION_H_
#define KEELHAVEN_TUNNEL_CONFIG_LOCATION_H_

#include <string>

// Names the configuration file, the WireGuard tunnel and its service.
// WireGuard names the service after the file's stem, so the two stay equal.
extern const wchar_t kTunnelName[];  // L"Keelhaven"

// The configuration file's name in its folder: kTunnelName + ".conf".
std::wstring ConfigFileName();

// The configuration folder: <common application data>\Keelhaven, or
// <temp>Keelhaven when Windows can't report the former; empty when neither
// base folder can be had.
std::wstring GetConfigDirectory();

#endif  // KEELHAVEN_TUNNEL_CONFIG_LOCATION_H_
