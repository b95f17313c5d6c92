// The text that wg.exe's "show" command prints for one interface with one
// peer, in the plain and the "dump" layouts. Lines end in CR LF.
#ifndef KEELHAVEN_STANDINS_WIREGUARD_WG_OUTPUT_H_
#define KEELHAVEN_STANDINS_WIREGUARD_WG_OUTPUT_H_

#include <cstdint>
#include <string>

constexpr int kListenPort = 51820;
constexpr int kPersistentKeepalive = 25;

struct InterfaceView {
  std::string name;
  std::string private_key;
  std::string public_key;
  std::string peer_public_key;
  std::string endpoint;
  std::string allowed_ips;       // as in the configuration; empty for none
  int64_t latest_handshake = 0;  // Unix seconds
  uint64_t rx_bytes = 0;
  uint64_t tx_bytes = 0;
  bool show_private_key = false;  // %WG_HIDE_KEYS% is "never"
};

// "interface: <name>" and the indented lines that follow it; the private
// key is shown as "(hidden)" unless show_private_key.
std::string FormatShow(const InterfaceView& view);

// One tab-separated interface line (private key, public key, port, "off")
// and one peer line (public key, "(none)", endpoint, allowed IPs without
// blanks, handshake, rx, tx, keepalive).
std::string FormatDump(const InterfaceView& view);

// "812 B", "4.00 KiB", "1.50 MiB", ... up to TiB, two decimals above bytes.
std::string FormatByteCount(uint64_t bytes);

#endif  // KEELHAVEN_STANDINS_WIREGUARD_WG_OUTPUT_H_
