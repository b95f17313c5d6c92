#include "tunnel/request_reader.h"

#include <initializer_list>
#include <string>

#include "codec/encodable_value.h"

using flutter::EncodableMap;
using flutter::EncodableValue;

namespace {

// The string under `key`; empty when the key is missing or its value is not
// a string.
std::string ReadString(const EncodableMap& map, const char* key) {
  const auto found = map.find(EncodableValue(key));
  if (found == map.end()) return std::string();
  const auto* text = std::get_if<std::string>(&found->second);
  return text != nullptr ? *text : std::string();
}

TunnelParameters ReadParameters(const EncodableMap& map) {
  TunnelParameters request;
  request.private_key = ReadString(map, "privateKey");
  request.public_key = ReadString(map, "publicKey");
  request.server_public_key = ReadString(map, "serverPublicKey");
  request.endpoint = ReadString(map, "endpoint");
  request.allowed_ips = ReadString(map, "allowedIps");
  request.dns = ReadString(map, "dns");
  request.address = ReadString(map, "address");
  return request;
}

// A value that still breaks a line after trimming would add lines of its
// own to the file that WireGuard's service reads as LocalSystem.
bool HoldsLineBreakOrNul(const std::string& value) {
  return TrimWhitespace(value).find_first_of(std::string("\r\n\0", 3)) !=
         std::string::npos;
}

bool AnyValueBreaksLines(const TunnelParameters& r) {
  for (const std::string* value :
       {&r.private_key, &r.public_key, &r.server_public_key, &r.endpoint,
        &r.allowed_ips, &r.dns, &r.address}) {
    if (HoldsLineBreakOrNul(*value)) return true;
  }
  return false;
}

// Fills in what the request left empty and the configuration file does not
// default itself.
void ApplyFallbacks(TunnelParameters& request, const RequestLog& log) {
  if (request.server_public_key.empty()) {
    log("serverPublicKey not provided, falling back to publicKey");
    request.server_public_key = request.public_key;
  }
  if (request.dns.empty()) {
    request.dns = kDefaultDns;
    log(std::string("DNS empty, defaulting to: ") + kDefaultDns);
  }
}

std::optional<ErrorReply> CheckParameters(const TunnelParameters& request) {
  // Checked as written: a key of blanks would become "PrivateKey = ".
  for (const std::string* value :
       {&request.private_key, &request.server_public_key, &request.endpoint}) {
    if (TrimWhitespace(*value).empty()) {
      return ErrorReply{
          "INVALID_CONFIG",
          "privateKey, serverPublicKey, and endpoint are required"};
    }
  }
  if (AnyValueBreaksLines(request)) {
    return ErrorReply{
        "INVALID_CONFIG",
        "Config values must not contain line breaks or NUL characters"};
  }
  return std::nullopt;
}

}  // namespace

std::string TrimWhitespace(const std::string& text) {
  static constexpr char kBlanks[] = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

std::optional<ErrorReply> ReadTunnelRequest(const EncodableValue* arguments,
                                            const RequestLog& log,
                                            TunnelParameters& request) {
  const auto* map =
      arguments != nullptr ? std::get_if<EncodableMap>(arguments) : nullptr;
  if (map == nullptr) {
    return ErrorReply{"INVALID_ARGUMENTS",
                      "establishTunnel requires a map of config params"};
  }
  request = ReadParameters(*map);
  ApplyFallbacks(request, log);
  if (std::optional<ErrorReply> refusal = CheckParameters(request)) {
    return refusal;
  }
  log("Keys: clientPubKey=" + request.public_key +
      ", serverPubKey=" + request.server_public_key);
  return std::nullopt;
}
