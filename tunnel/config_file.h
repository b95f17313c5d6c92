// Where the tunnel's WireGuard configuration file lives, the values it is
// written from and how they are cleaned. The write itself is
// TunnelController::WriteTunnelConfig (config_file.cpp).
#ifndef KEELHAVEN_TUNNEL_CONFIG_FILE_H_
#define KEELHAVEN_TUNNEL_CONFIG_FILE_H_

#include <string>

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

// The tunnel's DNS servers when the request names none.
inline constexpr char kDefaultDns[] = "1.1.1.1, 1.0.0.1";

// The seven text values of a tunnel request (UTF-8), in the order the
// channel reads them and the configuration file is written from them.
struct TunnelParameters {
  std::string private_key;
  std::string public_key;  // logged only, never written
  std::string server_public_key;
  std::string endpoint;
  std::string allowed_ips;
  std::string dns;
  std::string address;
};

// Drops leading and trailing spaces, tabs, carriage returns and line feeds.
std::string TrimWhitespace(const std::string& text);

#endif  // KEELHAVEN_TUNNEL_CONFIG_FILE_H_
