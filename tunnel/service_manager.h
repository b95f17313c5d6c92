// The tunnel's service as the service manager knows it, asked and removed
// directly, without WireGuard's tools. WireGuard for Windows names a
// tunnel's service "WireGuardTunnel$<tunnel name>".
#ifndef KEELHAVEN_TUNNEL_SERVICE_MANAGER_H_
#define KEELHAVEN_TUNNEL_SERVICE_MANAGER_H_

#include <cstdint>
#include <string>

// What the service manager says of the tunnel's service.
enum class ServiceState {
  kAbsent,             // no such service
  kStopped,            // installed, not running
  kStopping,           // asked to stop, not yet stopped
  kActive,             // running, starting, paused...
  kMarkedForDeletion,  // deleted, but a handle to it is still open
  kUnknown,            // the service manager could not be asked
};

// "WireGuardTunnel$Keelhaven".
std::wstring TunnelServiceName();

// The state of the tunnel's service; kUnknown when the service manager
// can't be opened or the service can't be queried.
ServiceState QueryTunnelService();

// Asks the tunnel's service to stop, deletes it, and waits for it to stop
// until `budget_ms` has passed since the call. Starts no program and logs
// every step. True when there is no such service, or it is deleted (or
// already marked for deletion); the service manager removes it once it has
// stopped and the last handle to it is closed.
bool StopAndDeleteTunnelService(uint32_t budget_ms);

#endif  // KEELHAVEN_TUNNEL_SERVICE_MANAGER_H_
