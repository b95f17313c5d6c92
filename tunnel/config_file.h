// The tunnel's WireGuard configuration file: where it lives, how it is
// written from a request's values and deleted again.
#ifndef KEELHAVEN_TUNNEL_CONFIG_FILE_H_
#define KEELHAVEN_TUNNEL_CONFIG_FILE_H_

#include <string>

#include "tunnel/request_reader.h"

// Names the configuration file, the WireGuard tunnel and its service.
// WireGuard names the service after the file's stem, so the two stay equal.
extern const wchar_t kTunnelName[];  // L"Keelhaven"

// The configuration folder: <common application data>\Keelhaven, or
// <temp>Keelhaven when Windows can't report the former; empty when neither
// base folder can be had. Only the path: EnsureTrustedFolder
// (tunnel/folder_trust.h) creates it, or makes it private, before use.
std::wstring GetConfigDirectory();

// The configuration file's path in `folder`: <folder>\Keelhaven.conf.
std::wstring ConfigPathIn(const std::wstring& folder);

// Writes the tunnel's configuration file into `folder` (made private to
// SYSTEM and Administrators first) from the request's values, each trimmed
// and the empty ones given their defaults, and gives its full path, or an
// empty string on any failure (a failed write leaves no file behind; an
// empty folder fails with a log line of its own).
std::wstring WriteTunnelConfig(const std::wstring& folder,
                               const TunnelParameters& request);

// Deletes the file named by `config_path` (when set), logs the outcome and
// empties it.
void DeleteTunnelConfig(std::wstring& config_path);

#endif  // KEELHAVEN_TUNNEL_CONFIG_FILE_H_
