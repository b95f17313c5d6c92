#include "tunnel/wireguard_tools.h"

#include <optional>
#include <string>

#include "tunnel/path_chain_trust.h"
#include "tunnel/tool_launch.h"
#include "tunnel/tunnel_stats.h"
#include "tunnel/wireguard_commands.h"
#include "util/native_log.h"
#include "util/windows_include.h"

const char kWireGuardNotInstalledMessage[] =
    "WireGuard for Windows is not installed. Please install it from "
    "https://www.wireguard.com/install/";

namespace {

// Time limits of the commands.
constexpr uint32_t kRemoveTimeoutMs = 15000;
constexpr uint32_t kInstallTimeoutMs = 30000;
constexpr uint32_t kPostInstallShowTimeoutMs = 10000;
constexpr uint32_t kConfirmGoneShowTimeoutMs = 5000;
// Pauses that give the service manager time to settle.
constexpr uint32_t kAfterRemoveWaitMs = 2000;
constexpr uint32_t kAfterInstallWaitMs = 2000;

constexpr char kEmDash[] = "\xE2\x80\x94";
constexpr char kPartialUninstall[] = "Uninstall may have partially failed";

std::string Unsigned(int32_t value) {
  return std::to_string(static_cast<uint32_t>(value));
}

// Reports what wg.exe shows of a freshly installed tunnel (the output of
// its show command and the code it ended with). Informative only.
void ReportInstalledTunnel(int32_t code, const std::string& output) {
  if (code != 0 || output.empty()) {
    NativeLog("Note: wg show returned code " + Unsigned(code) + " " + kEmDash +
              " tunnel may still be starting");
    return;
  }
  NativeLog("=== wg show Keelhaven (post-install) ===");
  NativeLog(HideKeys(output));
  NativeLog("========================================");
  if (output.find("peer:") != std::string::npos ||
      output.find("endpoint:") != std::string::npos) {
    NativeLog("SUCCESS: Peer configuration is active!");
  } else {
    NativeLog(
        "WARNING: wg show did not show peer info. The tunnel may still be "
        "initializing.");
  }
}

}  // namespace

int32_t WireGuardTools::RunTool(const std::wstring& command_line,
                                std::string& output, uint32_t timeout_ms,
                                const OutputLogFilter& log_filter) const {
  return system_.run_command(command_line, &output, timeout_ms,
                             ToolRunOptions(command_line, log_filter));
}

std::wstring WireGuardTools::FindTool(const wchar_t* file_name,
                                      bool log) const {
  const std::string name = WideToUtf8(file_name);
  ReleaseSearchPathProgram(file_name);
  for (const std::wstring& folder : system_.wireguard_folders) {
    const std::wstring path = folder + L"\\" + file_name;
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
      if (log) NativeLog("Found " + name + " at: " + WideToUtf8(path));
      return path;
    }
  }
  wchar_t found[MAX_PATH] = {};
  const DWORD length =
      ::SearchPathW(nullptr, file_name, nullptr, MAX_PATH, found, nullptr);
  // A length of MAX_PATH or more is the size the path would need: too long
  // for the buffer, so nothing was written.
  if (length > 0 && length < MAX_PATH) {
    const std::wstring path(found, length);
    // The search path may hold folders that any user can write to, and
    // this process runs what it finds with full rights.
    if (HoldSearchPathProgram(path)) {
      if (log) NativeLog("Found " + name + " on PATH: " + WideToUtf8(path));
      return path;
    }
    NativeLog("WARNING: Ignoring " + name +
              " on PATH that other accounts can change: " + WideToUtf8(path));
  }
  if (log) {
    NativeLog("ERROR: " + name +
              " not found. Is WireGuard for Windows installed?");
  }
  return std::wstring();
}

std::wstring WireGuardTools::FindWireGuardExe() const {
  return FindTool(L"wireguard.exe", true);
}

std::wstring WireGuardTools::FindWgExe() const {
  return FindTool(L"wg.exe", false);
}

bool WireGuardTools::InstallTunnelService(const std::wstring& config_path,
                                          std::string& error_message) const {
  const std::wstring wireguard = FindWireGuardExe();
  if (wireguard.empty()) {
    error_message = kWireGuardNotInstalledMessage;
    NativeLog("ERROR: " + error_message);
    return false;
  }

  // A service of the same name, left by an earlier run, would make the
  // installation fail. Its removal failing just means there was none.
  std::string removal_output;
  if (RunTool(UninstallCommand(wireguard), removal_output, kRemoveTimeoutMs) ==
      0) {
    NativeLog("Cleaned up existing Keelhaven tunnel service");
    system_.sleep(kAfterRemoveWaitMs);
  }

  std::string output;
  const int32_t code = RunTool(InstallCommand(wireguard, config_path), output,
                               kInstallTimeoutMs);
  if (code != 0) {
    error_message = "wireguard.exe /installtunnelservice failed (exit code: " +
                    Unsigned(code) + ")";
    if (!output.empty())
      error_message += std::string(" ") + kEmDash + " " + HideKeys(output);
    NativeLog("ERROR: " + error_message);
    if (code == kRunFailedToStart) {
      NativeLog(
          "HINT: Could not start wireguard.exe. Check that the path is "
          "correct and the app is running as Administrator.");
    }
    return false;
  }
  NativeLog("Tunnel service installed successfully via wireguard.exe");
  system_.sleep(kAfterInstallWaitMs);

  const std::wstring wg = FindWgExe();
  if (!wg.empty()) {
    std::string show_output;
    const int32_t show_code =
        RunTool(ShowCommand(wg), show_output, kPostInstallShowTimeoutMs);
    ReportInstalledTunnel(show_code, show_output);
  }
  return true;
}

std::optional<std::string> WireGuardTools::UninstallTunnelService() const {
  const std::wstring wireguard = FindWireGuardExe();
  if (wireguard.empty()) {
    const std::string reason = "WireGuard for Windows is not installed";
    NativeLog("WARNING: " + reason);
    return reason;
  }

  std::string output;
  const int32_t code =
      RunTool(UninstallCommand(wireguard), output, kRemoveTimeoutMs);
  if (code == 0) {
    NativeLog("Tunnel service uninstalled successfully");
    return std::nullopt;
  }
  NativeLog("wireguard.exe /uninstalltunnelservice returned " + Unsigned(code));
  if (!output.empty()) NativeLog("Output: " + HideKeys(output));

  // The removal may have failed only because there was nothing to remove:
  // wg.exe tells whether the tunnel is still there.
  const std::wstring wg = FindWgExe();
  if (wg.empty()) return kPartialUninstall;
  std::string show_output;
  if (RunTool(ShowCommand(wg), show_output, kConfirmGoneShowTimeoutMs) == 0) {
    return kPartialUninstall;
  }
  NativeLog("Tunnel is confirmed gone (wg show returned error)");
  return std::nullopt;
}

int32_t WireGuardTools::ShowTunnel(const std::wstring& wg, bool dump,
                                   uint32_t timeout_ms,
                                   std::string& output) const {
  // The dump holds the private key and any preshared keys: the log shows
  // them hidden.
  return dump
             ? RunTool(ShowDumpCommand(wg), output, timeout_ms, HideDumpSecrets)
             : RunTool(ShowCommand(wg), output, timeout_ms);
}
