// How the tunnel follows the host window's life.
#include <memory>
#include <string>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
#include "embedding/method_channel.h"
#include "tunnel/config_file.h"
#include "tunnel/tunnel_controller.h"
#include "util/native_log.h"

namespace {
constexpr uint32_t kLeftoverCheckTimeoutMs = 5000;
}

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

  // A tunnel service left by an earlier run that ended without its teardown.
  const std::wstring wg = FindWgExe();
  if (wg.empty()) return;
  std::string output;
  const int32_t code =
      system_.run_command(L"\"" + wg + L"\" show " + kTunnelName, &output,
                          kLeftoverCheckTimeoutMs, OutputLogFilter());
  if (code == 0 && !output.empty()) {
    NativeLog("WARNING: Found orphaned Keelhaven tunnel, cleaning up...");
    std::string ignored;
    UninstallTunnelService(ignored);
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
