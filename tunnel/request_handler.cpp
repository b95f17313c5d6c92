// The tunnel channel's three methods.
#include <memory>
#include <optional>
#include <string>

#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/method_result.h"
#include "tunnel/config_file.h"
#include "tunnel/tunnel_controller.h"
#include "tunnel/tunnel_stats.h"
#include "tunnel/wireguard_commands.h"
#include "util/native_log.h"

using flutter::EncodableMap;
using flutter::EncodableValue;
using Result = std::unique_ptr<flutter::MethodResult<EncodableValue>>;

namespace {

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
void ApplyFallbacks(TunnelParameters& request) {
  if (request.server_public_key.empty()) {
    NativeLog("serverPublicKey not provided, falling back to publicKey");
    request.server_public_key = request.public_key;
  }
  if (request.dns.empty()) {
    request.dns = kDefaultDns;
    NativeLog(std::string("DNS empty, defaulting to: ") + kDefaultDns);
  }
}

std::optional<ErrorReply> CheckParameters(const TunnelParameters& request) {
  if (request.private_key.empty() || request.server_public_key.empty() ||
      request.endpoint.empty()) {
    return ErrorReply{"INVALID_CONFIG",
                      "privateKey, serverPublicKey, and endpoint are required"};
  }
  if (AnyValueBreaksLines(request)) {
    return ErrorReply{
        "INVALID_CONFIG",
        "Config values must not contain line breaks or NUL characters"};
  }
  return std::nullopt;
}

// The first step of "establishTunnel": the request's parameters with their
// fallbacks, or the error reply that refuses it. Changes no state.
std::optional<ErrorReply> ReadRequest(const EncodableValue* arguments,
                                      TunnelParameters& request) {
  const auto* map =
      arguments != nullptr ? std::get_if<EncodableMap>(arguments) : nullptr;
  if (map == nullptr) {
    return ErrorReply{"INVALID_ARGUMENTS",
                      "establishTunnel requires a map of config params"};
  }
  request = ReadParameters(*map);
  ApplyFallbacks(request);
  if (std::optional<ErrorReply> refusal = CheckParameters(request)) {
    return refusal;
  }
  NativeLog("Keys: clientPubKey=" + request.public_key +
            ", serverPubKey=" + request.server_public_key);
  return std::nullopt;
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
  const std::optional<ErrorReply> error = BringTunnelUp(arguments);
  if (error) {
    result->Error(error->code, error->message);
  } else {
    result->Success();
  }
}

std::optional<ErrorReply> TunnelController::BringTunnelUp(
    const EncodableValue* arguments) {
  TunnelParameters request;
  if (std::optional<ErrorReply> error = ReadRequest(arguments, request)) {
    return error;
  }
  TakeDownActiveTunnel();
  if (FindWireGuardExe().empty()) {
    return ErrorReply{"WIREGUARD_NOT_INSTALLED", kWireGuardNotInstalledMessage};
  }
  if (std::optional<ErrorReply> error = WriteAndKeepConfig(request)) {
    return error;
  }
  return InstallConfiguredTunnel();
}

void TunnelController::TakeDownActiveTunnel() {
  if (!tunnel_active_) return;
  NativeLog("Tunnel already active, tearing down first");
  RemoveServiceAndConfig();
  tunnel_active_ = false;
  system_.sleep(kTeardownPauseMs);
}

std::optional<ErrorReply> TunnelController::WriteAndKeepConfig(
    const TunnelParameters& request) {
  NativeLog("Writing config. Endpoint: " + request.endpoint +
            ", Address: " + request.address + ", DNS: " + request.dns);
  std::wstring path = WriteTunnelConfig(request);
  if (path.empty()) {
    return ErrorReply{"CONFIG_WRITE_FAILED",
                      "Failed to write WireGuard config file"};
  }
  config_path_ = std::move(path);
  return std::nullopt;
}

std::optional<ErrorReply> TunnelController::InstallConfiguredTunnel() {
  std::string error_message;
  if (!InstallTunnelService(config_path_, error_message)) {
    DeleteTunnelConfig();
    return ErrorReply{"TUNNEL_START_FAILED", std::move(error_message)};
  }
  tunnel_active_ = true;
  NativeLog("Tunnel established successfully via WireGuard CLI");
  return std::nullopt;
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
    std::string output;
    // The dump holds the private key and any preshared keys: the log shows
    // them hidden.
    const int32_t code =
        RunTool(ShowDumpCommand(wg), output, kStatsTimeoutMs, HideDumpSecrets);
    if (code != 0) {
      NativeLog("WARNING: wg show failed \xE2\x80\x94 tunnel may be down");
      tunnel_active_ = false;
    } else {
      ParseTunnelDump(output, stats);
    }
  }
  result->Success(StatsReply(stats));
}
