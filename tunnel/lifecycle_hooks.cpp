// How the tunnel follows the host window's life.
#include <memory>
#include <string>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
#include "embedding/method_channel.h"
#include "tunnel/config_file.h"
#include "tunnel/folder_trust.h"
#include "tunnel/tunnel_controller.h"
#include "tunnel/wireguard_commands.h"
#include "util/native_log.h"
#include "util/windows_include.h"

namespace {

constexpr uint32_t kLeftoverCheckTimeoutMs = 5000;

// Deletes a configuration file that an earlier run left behind; it holds
// the private key. The one place a leftover file is deleted.
void DeleteLeftoverConfig(const std::wstring& path) {
  if (DeleteFileNoFollow(path)) {
    NativeLog("WARNING: Deleted configuration file left by an earlier run: " +
              WideToUtf8(path));
    return;
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
  NativeLog(
      "WARNING: Could not delete configuration file left by an earlier "
      "run (error: " +
      std::to_string(error) + "): " + WideToUtf8(path));
}

}  // namespace

void TunnelController::OnWindowCreated(
    flutter::BinaryMessenger* messenger,
    std::unique_ptr<flutter::MethodChannel<flutter::EncodableValue>>& channel) {
  const flutter::StandardMethodCodec& codec =
      flutter::StandardMethodCodec::GetInstance();
  auto created =
      std::make_unique<flutter::MethodChannel<flutter::EncodableValue>>(
          messenger, kChannelName, &codec);
  // The previous channel, if any, goes only after the new one is stored.
  channel.swap(created);
  created.reset();
  channel->SetCallHandler(
      [this](const flutter::MethodCall<flutter::EncodableValue>& call,
             std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>>
                 result) { HandleTunnelMethodCall(call, std::move(result)); });
  NativeLog(std::string("MethodChannel registered: ") + kChannelName);

  const std::wstring wireguard = FindWireGuardExe();
  if (!wireguard.empty()) {
    NativeLog("WireGuard for Windows found: " + WideToUtf8(wireguard));
  } else {
    NativeLog(
        "WARNING: WireGuard for Windows not detected. VPN functionality will "
        "not work until it is installed.");
  }

  RemoveLeftovers(!wireguard.empty());
}

void TunnelController::RemoveLeftovers(bool wireguard_found) {
  // A tunnel left by an earlier run that ended without its teardown (a
  // crash, a kill, a lost session): first a running interface...
  std::string ignored;
  bool removed = false;
  const std::wstring wg = FindWgExe();
  if (!wg.empty()) {
    std::string output;
    const int32_t code =
        RunTool(ShowCommand(wg), output, kLeftoverCheckTimeoutMs);
    if (code == 0 && !output.empty()) {
      NativeLog("WARNING: Found orphaned Keelhaven tunnel, cleaning up...");
      UninstallTunnelService(ignored);
      removed = true;
    }
  }
  // ...then a service with no interface (installed but stopped). Only
  // wireguard.exe can remove it.
  if (!removed && wireguard_found && system_.tunnel_service_registered()) {
    NativeLog(
        "WARNING: Found Keelhaven tunnel service that is not running, "
        "removing it...");
    UninstallTunnelService(ignored);
  }
  // ...and the configuration file with the private key (a link there is
  // removed itself, never what it points to).
  const std::wstring folder = system_.config_directory();
  if (!folder.empty()) {
    DeleteLeftoverConfig(ConfigPathIn(folder));
  }
}

void TunnelController::OnWindowDestroyed() {
  if (!tunnel_active_) return;
  NativeLog("OnDestroy: Tearing down active tunnel");
  RemoveServiceAndConfig();
  tunnel_active_ = false;
}

void TunnelController::OnWindowDestructing() {
  if (!tunnel_active_) return;
  NativeLog("Destructor: cleaning up active tunnel");
  RemoveServiceAndConfig();
}
