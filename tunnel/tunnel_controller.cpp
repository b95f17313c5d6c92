#include "tunnel/tunnel_controller.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/method_result.h"
#include "tunnel/config_file.h"
#include "tunnel/config_folder.h"
#include "tunnel/tunnel_stats.h"
#include "util/held_folder.h"
#include "util/native_log.h"
#include "util/windows_include.h"

const char kChannelName[] = "com.daltic.halberdix/wireguard";

using flutter::EncodableMap;
using flutter::EncodableValue;
using Result = std::unique_ptr<flutter::MethodResult<EncodableValue>>;

namespace {

constexpr uint32_t kStatsTimeoutMs = 5000;
constexpr uint32_t kTeardownPauseMs = 1000;
constexpr uint32_t kLeftoverCheckTimeoutMs = 5000;
// Windows gives a program about five seconds once the session ends or its
// console is closed; the service manager's part must fit well within.
constexpr uint32_t kSessionEndBudgetMs = 2000;
// How long start-up waits for a service that is still stopping.
constexpr uint32_t kStoppingPollMs = 250;
constexpr int kStoppingPolls = 20;

EncodableValue StatsReply(const TunnelStats& stats) {
  return EncodableValue(EncodableMap{
      {EncodableValue("bytesUp"), EncodableValue(stats.bytes_up)},
      {EncodableValue("bytesDown"), EncodableValue(stats.bytes_down)},
  });
}

// Deletes the configuration file an earlier run left in `folder`; it holds
// the private key. The one place a leftover file is deleted.
void DeleteLeftoverConfig(const HeldFolder& folder) {
  const std::wstring name = ConfigFileName();
  const std::wstring path = folder.path() + L"\\" + name;
  if (DeleteFileInFolder(folder, name)) {
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

TunnelController::TunnelController(TunnelSystem system)
    : system_(std::move(system)) {}

// --- The channel's methods ---------------------------------------------

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
  const RequestLog log = [](const std::string& line) { NativeLog(line); };
  if (std::optional<ErrorReply> error =
          ReadTunnelRequest(arguments, log, request)) {
    return error;
  }
  if (tunnel_active_) {
    NativeLog("Tunnel already active, tearing down first");
    TakeDown(Removal::kWithWireGuard);
    system_.sleep(kTeardownPauseMs);
  }
  if (tools_.FindWireGuardExe().empty()) {
    return ErrorReply{"WIREGUARD_NOT_INSTALLED", kWireGuardNotInstalledMessage};
  }
  if (std::optional<ErrorReply> error = WriteAndKeepConfig(request)) {
    return error;
  }
  return InstallConfiguredTunnel();
}

std::optional<ErrorReply> TunnelController::WriteAndKeepConfig(
    const TunnelParameters& request) {
  NativeLog("Writing config. Endpoint: " + request.endpoint +
            ", Address: " + request.address + ", DNS: " + request.dns);
  // The key may reach the disk from here on. A failed write leaves no file,
  // so it changes nothing.
  const bool was_up = tunnel_may_be_up_;
  tunnel_may_be_up_ = true;
  WrittenConfig written = WriteTunnelConfig(system_.config_directory(),
                                            system_.config_folder, request);
  if (written.path.empty()) {
    tunnel_may_be_up_ = was_up;
    return ErrorReply{"CONFIG_WRITE_FAILED",
                      "Failed to write WireGuard config file"};
  }
  config_ = std::move(written);
  return std::nullopt;
}

std::optional<ErrorReply> TunnelController::InstallConfiguredTunnel() {
  std::string error_message;
  if (!tools_.InstallTunnelService(config_.path, error_message)) {
    // A failed or timed-out install may still have left a service behind
    // (the service manager may have created or started it before the
    // runner gave up): taken down like any other.
    TakeDown(Removal::kWithWireGuard);
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
  TakeDown(Removal::kWithWireGuard);
  NativeLog("Tunnel torn down");
  result->Success();
}

void TunnelController::GetTunnelStats(Result result) {
  TunnelStats stats;
  const std::wstring wg = tunnel_active_ ? tools_.FindWgExe() : std::wstring();
  if (!wg.empty()) {
    std::string output;
    if (tools_.ShowTunnel(wg, /*dump=*/true, kStatsTimeoutMs, output) != 0) {
      NativeLog("WARNING: wg show failed \xE2\x80\x94 tunnel may be down");
      // Only what the methods report: the tunnel may still be up, and
      // every way out still takes it down.
      tunnel_active_ = false;
    } else {
      ParseTunnelDump(output, stats);
    }
  }
  result->Success(StatsReply(stats));
}

// --- Teardown ------------------------------------------------------------

void TunnelController::TakeDown(Removal removal) {
  // The running service has read the file already; a process ended at any
  // later point leaves no key behind.
  DeleteTunnelConfig(config_);
  bool gone = false;
  if (removal == Removal::kWithWireGuard) {
    // Whether it is gone is the service manager's to say. When WireGuard's
    // removal failed (or WireGuard is gone), the service manager removes it:
    // a process that ends now must not leave the machine's traffic routed
    // through a tunnel nobody takes down.
    tools_.UninstallTunnelService();
    gone = ServiceGone();
    if (!gone) {
      NativeLog(
          "WARNING: The tunnel service is still installed; removing it "
          "through the service manager");
      gone = system_.remove_tunnel_service(kSessionEndBudgetMs);
    }
  } else {
    gone = system_.remove_tunnel_service(kSessionEndBudgetMs);
  }
  tunnel_active_ = false;
  tunnel_may_be_up_ = !gone;
}

bool TunnelController::ServiceGone() const {
  const ServiceState state = system_.tunnel_service_state();
  return state == ServiceState::kAbsent ||
         state == ServiceState::kMarkedForDeletion;
}

// --- Hooks of the host window --------------------------------------------

void TunnelController::OnWindowCreated() {
  const std::wstring wireguard = tools_.FindWireGuardExe();
  if (!wireguard.empty()) {
    NativeLog("WireGuard for Windows found: " + WideToUtf8(wireguard));
  } else {
    NativeLog(
        "WARNING: WireGuard for Windows not detected. VPN functionality will "
        "not work until it is installed.");
  }
  RemoveLeftovers(!wireguard.empty());
}

void TunnelController::OnWindowDestroyed() {
  if (!tunnel_may_be_up_) return;
  NativeLog("OnDestroy: Tearing down active tunnel");
  TakeDown(Removal::kWithWireGuard);
}

void TunnelController::OnWindowDestructing() {
  if (!tunnel_may_be_up_) return;
  NativeLog("Destructor: cleaning up active tunnel");
  TakeDown(Removal::kWithWireGuard);
}

void TunnelController::OnSessionEnd() {
  if (!tunnel_may_be_up_) return;
  // A program started now would fail to load (Windows refuses new programs
  // once the session ends), and one that did would outlast the few seconds
  // left.
  NativeLog("Session ending: removing the tunnel without starting programs");
  TakeDown(Removal::kServiceManagerOnly);
}

bool TunnelController::OnProgramRemoval() {
  // A key file an earlier run left goes first, as in every teardown. The
  // folder is opened as it stands, never moved aside or made: the whole of
  // it is removed next.
  const std::wstring directory = system_.config_directory();
  if (!directory.empty()) {
    auto folder =
        std::make_shared<const HeldFolder>(HeldFolder::OpenPath(directory));
    if (folder->valid() &&
        OpenFileInFolder(*folder, ConfigFileName(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)
            .valid()) {
      config_ = {folder, directory + L"\\" + ConfigFileName()};
    }
  }
  const bool wireguard_found = !tools_.FindWireGuardExe().empty();
  if (!wireguard_found) {
    NativeLog("Removing the tunnel through the service manager");
  }
  TakeDown(wireguard_found ? Removal::kWithWireGuard
                           : Removal::kServiceManagerOnly);
  return !tunnel_may_be_up_;
}

// --- Start-up clean-up ---------------------------------------------------

void TunnelController::RemoveLeftovers(bool wireguard_found) {
  const ServiceState state = WaitWhileStopping(system_.tunnel_service_state());
  // Deleted already but held open somewhere: another uninstall can't help,
  // and no new service of the name can be installed until it goes.
  const bool marked = state == ServiceState::kMarkedForDeletion;
  if (marked) {
    NativeLog(
        "WARNING: The Keelhaven tunnel service is marked for deletion and "
        "still held open by another program; it goes when that program lets "
        "go of it (or after a restart). Until then no tunnel can be "
        "installed.");
  }
  // A tunnel left by an earlier run that ended without its teardown (a
  // crash, a kill, a lost session): first a running interface...
  bool handled = marked;
  const std::wstring wg = tools_.FindWgExe();
  if (!wg.empty()) {
    std::string output;
    const int32_t code =
        tools_.ShowTunnel(wg, /*dump=*/false, kLeftoverCheckTimeoutMs, output);
    if (code == 0 && !output.empty()) {
      NativeLog("WARNING: Found orphaned Keelhaven tunnel, cleaning up...");
      if (!handled) tools_.UninstallTunnelService();
      handled = true;
    }
  }
  // ...then a service with no interface (installed but stopped). Only
  // wireguard.exe can remove it.
  const bool registered =
      state != ServiceState::kAbsent && state != ServiceState::kUnknown;
  if (!handled && wireguard_found && registered) {
    NativeLog(
        "WARNING: Found Keelhaven tunnel service that is not running, "
        "removing it...");
    tools_.UninstallTunnelService();
  }
  // ...and the configuration file with the private key, in the folder
  // this run holds: a refused folder (a link in its place) has nothing in
  // it or behind it deleted, and a link at the file's place is never
  // followed.
  const std::shared_ptr<const HeldFolder> folder = system_.config_folder();
  if (folder && folder->valid()) DeleteLeftoverConfig(*folder);
}

ServiceState TunnelController::WaitWhileStopping(ServiceState state) {
  if (state != ServiceState::kStopping) return state;
  NativeLog("Keelhaven tunnel service is stopping, waiting for it...");
  for (int poll = 0; poll < kStoppingPolls; ++poll) {
    system_.sleep(kStoppingPollMs);
    state = system_.tunnel_service_state();
    if (state != ServiceState::kStopping) return state;
  }
  NativeLog("WARNING: Keelhaven tunnel service is still stopping after " +
            std::to_string(kStoppingPolls * kStoppingPollMs) + " ms");
  return state;
}
