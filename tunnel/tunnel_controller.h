// The tunnel: one WireGuard tunnel named kTunnelName, brought up and down
// through an installed WireGuard for Windows, and what this process knows
// of it. The host window serves the channel (kChannelName) and hands its
// calls to HandleTunnelMethodCall, and calls the hooks below as its life
// goes on.
//
// A tunnel "may be up" from the moment a configuration file is being
// written until a teardown has seen the service gone; while it may be up,
// every way out of the process (window closed, object destroyed, session
// end, console closed) takes it down. Every teardown is TakeDown: the
// configuration file (the private key) goes first, the service after it.
//
// Everything runs on the window's thread, one call at a time; nothing here
// is locked. The operating system is reached through TunnelSystem.
#ifndef KEELHAVEN_TUNNEL_TUNNEL_CONTROLLER_H_
#define KEELHAVEN_TUNNEL_TUNNEL_CONTROLLER_H_

#include <memory>
#include <optional>
#include <string>

#include "tunnel/config_file.h"
#include "tunnel/request_reader.h"
#include "tunnel/tunnel_system.h"
#include "tunnel/wireguard_tools.h"

// Declared here, defined by the codec; the sources that use them include
// its headers.
namespace flutter {
class EncodableValue;
template <typename T>
class MethodCall;
template <typename T>
class MethodResult;
}  // namespace flutter

// The channel on which the user interface asks for tunnel work.
extern const char kChannelName[];  // "com.daltic.halberdix/wireguard"

class TunnelController {
 public:
  explicit TunnelController(TunnelSystem system = TunnelSystem());

  TunnelController(const TunnelController&) = delete;
  TunnelController& operator=(const TunnelController&) = delete;

  // Serves "establishTunnel", "tearDownTunnel" and "getTunnelStats";
  // answers every other method with NotImplemented. Answers exactly once.
  void HandleTunnelMethodCall(
      const flutter::MethodCall<flutter::EncodableValue>& call,
      std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);

  // --- Hooks of the host window ----------------------------------------
  // Once the channel is served: reports WireGuard and removes what an
  // earlier run left (its tunnel, running or only registered, and its
  // configuration file).
  void OnWindowCreated();
  // The native window is destroyed: takes down a tunnel that may be up.
  void OnWindowDestroyed();
  // First step of the window object's destructor: the same, for a tunnel
  // that may still be up.
  void OnWindowDestructing();
  // The session ends (log-off, shutdown) or the console is being closed:
  // Windows ends the process within seconds and starts no new program.
  // Takes down a tunnel that may be up without any program: the file
  // first, then the service through the service manager, in about two
  // seconds.
  void OnSessionEnd();
  // The program is being removed (the installer's clean-up run, with no
  // window): takes down the tunnel whichever run left it, the
  // configuration file in the configuration folder first; through
  // wireguard.exe, or through the service manager when WireGuard for
  // Windows is gone. True when no tunnel service is left.
  bool OnProgramRemoval();

  // --- State -------------------------------------------------------------
  // A configuration was written or a service installed, and no teardown
  // has seen the service gone since.
  bool tunnel_may_be_up() const { return tunnel_may_be_up_; }
  // Installed by this process and neither taken down nor found down by a
  // statistics read since: what the channel's methods go by.
  bool tunnel_active() const { return tunnel_active_; }
  // The configuration file written by the last establish, until deleted.
  const std::wstring& config_path() const { return config_.path; }

 private:
  // How TakeDown removes the service.
  enum class Removal { kWithWireGuard, kServiceManagerOnly };

  void EstablishTunnel(
      const flutter::EncodableValue* arguments,
      std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);
  void TearDownTunnel(
      std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);
  void GetTunnelStats(
      std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);

  // EstablishTunnel's work; gives the error reply that ends the call, or
  // nothing when the tunnel is up. So does each step that can fail.
  std::optional<ErrorReply> BringTunnelUp(
      const flutter::EncodableValue* arguments);
  std::optional<ErrorReply> WriteAndKeepConfig(const TunnelParameters& request);
  std::optional<ErrorReply> InstallConfiguredTunnel();

  // The one teardown: deletes the configuration file, then removes the
  // service. The tunnel stays "may be up" unless the service is seen gone.
  void TakeDown(Removal removal);
  // The service manager has no tunnel service, or only one marked for
  // deletion.
  bool ServiceGone() const;

  // The creation hook's clean-up of an earlier run's tunnel and file.
  void RemoveLeftovers(bool wireguard_found);
  // Waits, bounded, while the service is stopping; its state afterwards.
  ServiceState WaitWhileStopping(ServiceState state);

  TunnelSystem system_;
  WireGuardTools tools_{system_};
  bool tunnel_may_be_up_ = false;
  bool tunnel_active_ = false;
  // With the folder it lies in, held until the file is deleted.
  WrittenConfig config_;
};

#endif  // KEELHAVEN_TUNNEL_TUNNEL_CONTROLLER_H_
