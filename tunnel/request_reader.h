// Reading an "establishTunnel" request: the channel's arguments turned into
// the tunnel's parameters, or the error reply that refuses the request.
// Portable: no Windows header, built and tested natively too.
#ifndef KEELHAVEN_TUNNEL_REQUEST_READER_H_
#define KEELHAVEN_TUNNEL_REQUEST_READER_H_

#include <functional>
#include <optional>
#include <string>

namespace flutter {
class EncodableValue;
}  // namespace flutter

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

// An error reply of a channel method: its code and message.
struct ErrorReply {
  const char* code;
  std::string message;
};

// Drops leading and trailing spaces, tabs, carriage returns and line feeds:
// what the configuration file does to every value before writing it.
std::string TrimWhitespace(const std::string& text);

// Receives one log message (UTF-8, no prefix, no line end).
using RequestLog = std::function<void(const std::string& message)>;

// Reads the parameters of "establishTunnel" from `arguments` (may be null)
// into `request`. A value is taken when its key is present and holds a
// string, otherwise it is empty. An empty serverPublicKey takes publicKey's
// value and an empty dns becomes kDefaultDns, each logged. The required
// values (private key, server key, endpoint) are checked as the file will
// hold them, trimmed: one made of blanks is missing. A value that still
// breaks a line after trimming is refused too. On success logs the keys
// line (never the private key) and gives nothing; otherwise gives the error
// reply, and nothing has been logged after the fallbacks. `request` keeps
// the values as received: the configuration file trims them and gives the
// empty ones their defaults.
std::optional<ErrorReply> ReadTunnelRequest(
    const flutter::EncodableValue* arguments, const RequestLog& log,
    TunnelParameters& request);

#endif  // KEELHAVEN_TUNNEL_REQUEST_READER_H_
