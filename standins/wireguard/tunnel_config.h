// The parts of a WireGuard configuration file that the stand-in tools show.
#ifndef KEELHAVEN_STANDINS_WIREGUARD_TUNNEL_CONFIG_H_
#define KEELHAVEN_STANDINS_WIREGUARD_TUNNEL_CONFIG_H_

#include <string>
#include <string_view>

struct TunnelConfig {
  std::string private_key;      // PrivateKey of [Interface]
  std::string peer_public_key;  // PublicKey of the first [Peer]
  std::string endpoint;         // Endpoint of the first [Peer]
  std::string allowed_ips;      // AllowedIPs of the first [Peer], as written

  // A tunnel comes up only with a private key, a peer key and an endpoint.
  bool CanComeUp() const {
    return !private_key.empty() && !peer_public_key.empty() &&
           !endpoint.empty();
  }
};

// Reads "Key = Value" lines by section. Keys and section names match in any
// letter case; values are trimmed of blanks; '#' starts a comment; lines
// end in LF or CR LF. Lines it does not understand are skipped. Several
// AllowedIPs lines of the peer are joined with ", ".
TunnelConfig ParseTunnelConfig(std::string_view text);

#endif  // KEELHAVEN_STANDINS_WIREGUARD_TUNNEL_CONFIG_H_
