// Where the tunnel's WireGuard configuration file lives and how request
// values are cleaned before they are written into it. The write itself is
// TunnelController::WriteTunnelConfig.
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
