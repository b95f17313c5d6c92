// The tunnel channel's three methods.
#include <memory>
#include <string>

#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/method_result.h"
#include "tunnel/config_file.h"
#include "tunnel/tunnel_controller.h"
#include "tunnel/tunnel_stats.h"
#include "util/native_log.h"

using flutter::EncodableMap;
using flutter::EncodableValue;
using Result = std::unique_ptr<flutter::MethodResult<EncodableValue>>;

namespace {

constexpr char kDefaultDns[] = "1.1.1.1, 1.0.0.1";
constexpr uint32_t kStatsTimeoutMs = 5000;
constexpr uint32_t kTeardownPauseMs = 1000;

// The string under `key`; empty when the key is missing or its value is not
// a string.
std::string ReadString(const EncodableMap& map, const char* key) {
  const auto found = map.find(EncodableValue(key));
  if (found == map.end()) return std::string();
  const auto* text = std::get_if<std::string>(&found->second);
  return text != nullptr ? *text : std::string();
}

TunnelParameters ReadRequest(const EncodableMap& map) {
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

EncodableValue StatsReply(const TunnelStats& stats) {
  return EncodableValue(EncodableMap{
      {EncodableValue("bytesUp"), EncodableValue(stats.bytes_up)},
      {EncodableValue("bytesDown"), EncodableValue(stats.bytes_down)},
  });
}

}  // namespace

void TunnelController::HandleTunnelMethodCall(
    const flutter::MethodCall<EncodableValue>& call, Result result) {
  const std::string& method = call.name();
  NativeLog("MethodChannel call: " + method);
  if (method == "establishTunnel") {
    EstablishTunnel(call.args(), std::move(result));
  } else if (method == "tearDownTunnel") {
    TearDownTunnel(std::move(result));
  } else if (method == "getTunnelStats") {
    GetTunnelStats(std::move(result));
  } else {
    NativeLog("Unknown method: " + method);
    result->NotImplemented();
  }
}

void TunnelController::EstablishTunnel(const EncodableValue* arguments,
                                       Result result) {
  const auto* map =
      arguments != nullptr ? std::get_if<EncodableMap>(arguments) : nullptr;
  if (map == nullptr) {
    result->Error("INVALID_ARGUMENTS",
                  "establishTunnel requires a map of config params");
    return;
  }
  TunnelParameters request = ReadRequest(*map);
  if (request.server_public_key.empty()) {
    NativeLog("serverPublicKey not provided, falling back to publicKey");
    request.server_public_key = request.public_key;
  }
  if (request.dns.empty()) {
    request.dns = kDefaultDns;
    NativeLog(std::string("DNS empty, defaulting to: ") + kDefaultDns);
  }
  if (request.private_key.empty() || request.server_public_key.empty() ||
      request.endpoint.empty()) {
    result->Error("INVALID_CONFIG",
                  "privateKey, serverPublicKey, and endpoint are required");
    return;
  }
  if (AnyValueBreaksLines(request)) {
    result->Error(
        "INVALID_CONFIG",
        "Config values must not contain line breaks or NUL characters");
    return;
  }
  NativeLog("Keys: clientPubKey=" + request.public_key +
            ", serverPubKey=" + request.server_public_key);

  if (tunnel_active_) {
    NativeLog("Tunnel already active, tearing down first");
    RemoveServiceAndConfig();
    tunnel_active_ = false;
    system_.sleep(kTeardownPauseMs);
  }
  if (FindWireGuardExe().empty()) {
    result->Error("WIREGUARD_NOT_INSTALLED", kWireGuardNotInstalledMessage);
    return;
  }
  NativeLog("Writing config. Endpoint: " + request.endpoint +
            ", Address: " + request.address + ", DNS: " + request.dns);
  const std::wstring path = WriteTunnelConfig(
      request.private_key, request.public_key, request.server_public_key,
      request.endpoint, request.allowed_ips, request.dns, request.address);
  if (path.empty()) {
    result->Error("CONFIG_WRITE_FAILED",
                  "Failed to write WireGuard config file");
    return;
  }
  config_path_ = path;
  std::string error_message;
  if (!InstallTunnelService(path, error_message)) {
    DeleteTunnelConfig();
    result->Error("TUNNEL_START_FAILED", error_message);
    return;
  }
  tunnel_active_ = true;
  NativeLog("Tunnel established successfully via WireGuard CLI");
  result->Success();
}

void TunnelController::TearDownTunnel(Result result) {
  if (!tunnel_active_) {
    NativeLog("tearDown: no active tunnel (cleaning up anyway)");
  }
  RemoveServiceAndConfig();
  tunnel_active_ = false;
  NativeLog("Tunnel torn down");
  result->Success();
}

void TunnelController::GetTunnelStats(Result result) {
  TunnelStats stats;
  const std::wstring wg = tunnel_active_ ? FindWgExe() : std::wstring();
  if (!wg.empty()) {
    const std::wstring command =
        L"\"" + wg + L"\" show " + kTunnelName + L" dump";
    std::string output;
    // The dump holds the private key and any preshared keys: the log shows
    // them hidden.
    const int32_t code =
        system_.run_command(command, &output, kStatsTimeoutMs, HideDumpSecrets);
    if (code != 0) {
      NativeLog("WARNING: wg show failed \xE2\x80\x94 tunnel may be down");
      tunnel_active_ = false;
    } else {
      ParseTunnelDump(output, stats);
    }
  }
  result->Success(StatsReply(stats));
}
