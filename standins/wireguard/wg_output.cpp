#include "standins/wireguard/wg_output.h"

#include <cstdio>

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kNone[] = "(none)";

std::string WithoutBlanks(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != ' ' && c != '\t') out.push_back(c);
  }
  return out;
}

std::string OrNone(const std::string& text) {
  return text.empty() ? std::string(kNone) : text;
}

}  // namespace

std::string FormatByteCount(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes) / 1024.0;
  size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < sizeof(kUnits) / sizeof(kUnits[0])) {
    value /= 1024.0;
    ++unit;
  }
  char text[64];
  std::snprintf(text, sizeof(text), "%.2f %s", value, kUnits[unit]);
  return text;
}

std::string FormatShow(const InterfaceView& view) {
  std::string out;
  out += "interface: " + view.name + kLineEnd;
  out += "  public key: " + view.public_key + kLineEnd;
  out += "  private key: " +
         (view.show_private_key ? view.private_key : std::string("(hidden)")) +
         kLineEnd;
  out += "  listening port: " + std::to_string(kListenPort) + kLineEnd;
  out += kLineEnd;
  out += "peer: " + view.peer_public_key + kLineEnd;
  out += "  endpoint: " + view.endpoint + kLineEnd;
  out += "  allowed ips: " + OrNone(view.allowed_ips) + kLineEnd;
  out += "  transfer: " + FormatByteCount(view.rx_bytes) + " received, " +
         FormatByteCount(view.tx_bytes) + " sent" + kLineEnd;
  return out;
}

std::string FormatDump(const InterfaceView& view) {
  std::string out;
  out += view.private_key + "\t" + view.public_key + "\t" +
         std::to_string(kListenPort) + "\toff" + kLineEnd;
  out += view.peer_public_key + "\t" + kNone + "\t" + view.endpoint + "\t" +
         OrNone(WithoutBlanks(view.allowed_ips)) + "\t" +
         std::to_string(view.latest_handshake) + "\t" +
         std::to_string(view.rx_bytes) + "\t" + std::to_string(view.tx_bytes) +
         "\t" + std::to_string(kPersistentKeepalive) + kLineEnd;
  return out;
}
