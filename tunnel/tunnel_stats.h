// The byte counters of the tunnel as wg.exe's dump reports them.
#ifndef KEELHAVEN_TUNNEL_TUNNEL_STATS_H_
#define KEELHAVEN_TUNNEL_TUNNEL_STATS_H_

#include <cstdint>
#include <string>
#include <string_view>

struct TunnelStats {
  int64_t bytes_up = 0;    // transfer-tx, column 6 of a peer line
  int64_t bytes_down = 0;  // transfer-rx, column 5 of a peer line
};

// Reads the counters from the dump of `wg show <tunnel> dump`: the first
// line describes the interface and is skipped; every further line is a peer
// with tab-separated columns. A column that converts replaces the counter
// (the last peer line wins); one that does not keeps the counter's value.
void ParseTunnelDump(const std::string& dump, TunnelStats& stats);

// Reads a signed 64-bit decimal number at the start of `text` (leading
// white space and a sign allowed, anything after the digits ignored).
// False when there is no number or it does not fit.
bool ParseLeadingInt64(const std::string& text, int64_t& value);

// The dump as the log may show it, with every secret replaced by
// "(hidden)": the private key (first field of the interface line, the line
// of 4 tab-separated fields) and each preshared key (second field of a peer
// line, the line of 8 fields; "(none)" stays). Standard error may come
// before or among these lines and output cut off by a time limit may end
// inside one, so in every other line each field made of base64 characters
// only (a key, or part of one) is hidden too. Line breaks, tabs and all
// other fields stay as they are.
std::string HideDumpSecrets(const std::string& dump);

// `text` (any output of WireGuard's tools) with every key-shaped token
// replaced by "(hidden)": 43 base64 characters and a "=", the way
// WireGuard writes a 32-byte key, with no base64 character right before
// or after. Everything else stays as it is.
std::string HideKeys(std::string_view text);

#endif  // KEELHAVEN_TUNNEL_TUNNEL_STATS_H_
