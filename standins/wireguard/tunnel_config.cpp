#include "standins/wireguard/tunnel_config.h"

#include "standins/common/text.h"

namespace {

enum class Section { kNone, kInterface, kFirstPeer, kOtherPeer };

// Only the first [Peer] section is shown; `seen_peer` tells whether one
// came before this header.
Section SectionOf(std::string_view header, bool seen_peer) {
  if (EqualsIgnoringCase(header, "[Interface]")) return Section::kInterface;
  if (EqualsIgnoringCase(header, "[Peer]")) {
    return seen_peer ? Section::kOtherPeer : Section::kFirstPeer;
  }
  return Section::kNone;
}

void TakeValue(Section section, std::string_view key, std::string_view value,
               TunnelConfig* config) {
  if (section == Section::kInterface) {
    if (EqualsIgnoringCase(key, "PrivateKey")) {
      config->private_key = std::string(value);
    }
    return;
  }
  if (section != Section::kFirstPeer) return;
  if (EqualsIgnoringCase(key, "PublicKey")) {
    config->peer_public_key = std::string(value);
  } else if (EqualsIgnoringCase(key, "Endpoint")) {
    config->endpoint = std::string(value);
  } else if (EqualsIgnoringCase(key, "AllowedIPs") && !value.empty()) {
    if (!config->allowed_ips.empty()) config->allowed_ips += ", ";
    config->allowed_ips += value;
  }
}

}  // namespace

TunnelConfig ParseTunnelConfig(std::string_view text) {
  TunnelConfig config;
  Section section = Section::kNone;
  bool seen_peer = false;
  for (std::string_view line : SplitLines(text)) {
    line = TrimBlanks(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    if (line.front() == '[') {
      section = SectionOf(line, seen_peer);
      if (section == Section::kFirstPeer) seen_peer = true;
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    TakeValue(section, TrimBlanks(line.substr(0, equals)),
              TrimBlanks(line.substr(equals + 1)), &config);
  }
  return config;
}
