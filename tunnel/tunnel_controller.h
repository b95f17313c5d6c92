// The tunnel: one WireGuard tunnel named kTunnelName, brought up and down
// through an installed WireGuard for Windows, and the state of it that this
// process knows. The host window owns one controller and calls its lifecycle
// hooks; the channel's method calls arrive in HandleTunnelMethodCall.
//
// Everything runs on the window's thread, one call at a time; nothing here
// is locked. The controller reaches the operating system through
// TunnelSystem, whose defaults are the real folders, runner and sleep.
//
// Where the class's members are defined:
//   tunnel_controller.cpp  TunnelSystem's defaults, the constructor,
//                          RemoveServiceAndConfig
//   request_handler.cpp    HandleTunnelMethodCall, the three methods and
//                          EstablishTunnel's steps (BringTunnelUp,
//                          TakeDownActiveTunnel, WriteAndKeepConfig,
//                          InstallConfiguredTunnel)
//   config_file.cpp        WriteTunnelConfig, DeleteTunnelConfig
//   wireguard_tools.cpp    FindWireGuardExe, FindWgExe, FindTool, RunTool,
//                          InstallTunnelService, UninstallTunnelService
//   lifecycle_hooks.cpp    OnWindowCreated, RemoveLeftovers,
//                          OnWindowDestroyed, OnWindowDestructing
// request_handler.cpp, wireguard_tools.cpp and lifecycle_hooks.cpp have no
// header: they define only these members and helpers of their own file.
// The command lines the members run are built in wireguard_commands.h, the
// configuration file's name, defaults and values are in config_file.h.
#ifndef KEELHAVEN_TUNNEL_TUNNEL_CONTROLLER_H_
#define KEELHAVEN_TUNNEL_TUNNEL_CONTROLLER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tunnel/config_file.h"
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

// An error reply of a channel method: its code and message.
struct ErrorReply {
  const char* code;
  std::string message;
};

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
                        uint32_t timeout_ms, const RunOptions& options)>
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
  // Writes the tunnel's configuration file from the request's values, each
  // trimmed and the empty ones given their defaults, and gives its full
  // path, or an empty string on any failure (a failed write leaves no file
  // behind). Does not change config_path_.
  std::wstring WriteTunnelConfig(const TunnelParameters& request) const;
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

  // EstablishTunnel's work: reads and checks the request, then runs the
  // steps below in order. Gives the error reply that ends the call, or
  // nothing when the tunnel is up; so does each step that can fail.
  std::optional<ErrorReply> BringTunnelUp(
      const flutter::EncodableValue* arguments);
  // Takes down a tunnel this process still has up, then pauses.
  void TakeDownActiveTunnel();
  // Writes the configuration file and keeps its path in config_path_.
  std::optional<ErrorReply> WriteAndKeepConfig(const TunnelParameters& request);
  // Installs the service from config_path_ and marks the tunnel active; on
  // failure deletes the file again.
  std::optional<ErrorReply> InstallConfiguredTunnel();

  // Removes the tunnel service (its outcome only logged) and deletes the
  // configuration file. Leaves tunnel_active_ to the caller.
  void RemoveServiceAndConfig();

  // The creation hook's clean-up of an earlier run's tunnel and file.
  void RemoveLeftovers(bool wireguard_found);

  // Locates one WireGuard tool: the install folders, then the search path.
  std::wstring FindTool(const wchar_t* file_name, bool log) const;
  // Runs one of WireGuard's command lines through system_, its output
  // captured into `output`; the log shows log_filter(output), or the output
  // itself when no filter is given.
  int32_t RunTool(const std::wstring& command_line, std::string& output,
                  uint32_t timeout_ms,
                  const OutputLogFilter& log_filter = OutputLogFilter()) const;

  TunnelSystem system_;
  bool tunnel_active_ = false;
  std::wstring config_path_;
};

#endif  // KEELHAVEN_TUNNEL_TUNNEL_CONTROLLER_H_
