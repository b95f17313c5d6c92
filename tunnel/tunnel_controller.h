// The tunnel: one WireGuard tunnel named kTunnelName, brought up and down
// through an installed WireGuard for Windows, and the state of it that this
// process knows. The host window owns one controller and calls its lifecycle
// hooks; the channel's method calls arrive in HandleTunnelMethodCall.
//
// Everything runs on the window's thread, one call at a time; nothing here
// is locked. The controller reaches the operating system through
// TunnelSystem, whose defaults are the real folders, runner and sleep.
#ifndef KEELHAVEN_TUNNEL_TUNNEL_CONTROLLER_H_
#define KEELHAVEN_TUNNEL_TUNNEL_CONTROLLER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "util/command_runner.h"

// Declared here, defined by the codec and the embedding layer; the sources
// that use them include their headers.
namespace flutter {
class BinaryMessenger;
class EncodableValue;
template <typename T>
class MethodCall;
template <typename T>
class MethodChannel;
template <typename T>
class MethodResult;
}  // namespace flutter

// The channel on which the user interface asks for tunnel work.
extern const char kChannelName[];  // "com.daltic.halberdix/wireguard"

// Told to the user when wireguard.exe can't be found; ends with the address
// of WireGuard for Windows' installation page.
extern const char kWireGuardNotInstalledMessage[];

// The operating-system seam of the controller. Tests replace parts of it
// (a temporary configuration folder, other install folders, a sleeper that
// records instead of waiting); the defaults are the product's.
struct TunnelSystem {
  TunnelSystem();

  // Folders searched for wireguard.exe and wg.exe, in order, before the
  // standard search path. By default <Program Files>\WireGuard and
  // <Program Files (x86)>\WireGuard as Windows reports them.
  std::vector<std::wstring> wireguard_folders;
  // Gives the configuration folder's path; an empty string when no folder
  // can be had. The write creates it or makes it private.
  std::function<std::wstring()> config_directory;
  // Runs one command line; same contract as RunCommand.
  std::function<int32_t(const std::wstring& command_line, std::string* output,
                        uint32_t timeout_ms, const OutputLogFilter& log_filter)>
      run_command;
  // Blocks the thread for the given milliseconds.
  std::function<void(uint32_t milliseconds)> sleep;
  // Whether the service manager has the tunnel's service, running or not.
  std::function<bool()> tunnel_service_registered;
};

class TunnelController {
 public:
  explicit TunnelController(TunnelSystem system = TunnelSystem());
  ~TunnelController() = default;

  TunnelController(const TunnelController&) = delete;
  TunnelController& operator=(const TunnelController&) = delete;

  // --- The channel's method handler -------------------------------------
  // Serves "establishTunnel", "tearDownTunnel" and "getTunnelStats";
  // answers every other method with NotImplemented. Answers exactly once.
  void HandleTunnelMethodCall(
      const flutter::MethodCall<flutter::EncodableValue>& call,
      std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);

  // --- Configuration file ------------------------------------------------
  // Writes the tunnel's configuration file from the request's values (UTF-8)
  // and gives its full path, or an empty string on any failure (a failed
  // write leaves no file behind). Does not change config_path_.
  std::wstring WriteTunnelConfig(const std::string& private_key,
                                 const std::string& public_key,
                                 const std::string& server_public_key,
                                 const std::string& endpoint,
                                 const std::string& allowed_ips,
                                 const std::string& dns,
                                 const std::string& address) const;
  // Deletes the file named by config_path_ (when set) and empties it.
  void DeleteTunnelConfig();

  // --- WireGuard for Windows ---------------------------------------------
  // Full paths of the tools, or empty strings when not found. Searched anew
  // at every call.
  std::wstring FindWireGuardExe() const;
  std::wstring FindWgExe() const;
  // Installs the tunnel service from the configuration file. On false,
  // error_message holds the reason for the user.
  bool InstallTunnelService(const std::wstring& config_path,
                            std::string& error_message) const;
  // Removes the tunnel service. Always true; a doubtful outcome is only
  // written into error_message and the log.
  bool UninstallTunnelService(std::string& error_message) const;

  // --- Lifecycle hooks of the host window --------------------------------
  // After the engine and its view exist: opens the tunnel channel on the
  // messenger, stores it in `channel` (the window's member) with this
  // controller as its handler, reports WireGuard and removes what an
  // earlier run left: its tunnel (running, or only a registered service)
  // and its configuration file. The controller must outlive the channel's
  // use.
  void OnWindowCreated(
      flutter::BinaryMessenger* messenger,
      std::unique_ptr<flutter::MethodChannel<flutter::EncodableValue>>&
          channel);
  // When the native window is destroyed: takes an active tunnel down.
  void OnWindowDestroyed();
  // First step of the window object's destructor: takes down a tunnel that
  // is still marked active.
  void OnWindowDestructing();

  // --- State -----------------------------------------------------------
  // True while this process has installed the tunnel service and not taken
  // it down since.
  bool tunnel_active() const { return tunnel_active_; }
  // The configuration file written by the last establish, or empty.
  const std::wstring& config_path() const { return config_path_; }
  void set_config_path(std::wstring path) { config_path_ = std::move(path); }

 private:
  // Procedures of the three channel methods.
  void EstablishTunnel(
      const flutter::EncodableValue* arguments,
      std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);
  void TearDownTunnel(
      std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);
  void GetTunnelStats(
      std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);

  // Removes the tunnel service (its outcome only logged) and deletes the
  // configuration file. Leaves tunnel_active_ to the caller.
  void RemoveServiceAndConfig();

  // The creation hook's clean-up of an earlier run's tunnel and file.
  void RemoveLeftovers(bool wireguard_found);

  // Locates one WireGuard tool: the install folders, then the search path.
  std::wstring FindTool(const wchar_t* file_name, bool log) const;

  TunnelSystem system_;
  bool tunnel_active_ = false;
  std::wstring config_path_;
};

#endif  // KEELHAVEN_TUNNEL_TUNNEL_CONTROLLER_H_
