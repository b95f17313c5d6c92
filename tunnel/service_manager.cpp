#include "tunnel/service_manager.h"

#include <string>

#include "tunnel/config_file.h"
#include "util/native_log.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

// Between two looks at a stopping service.
constexpr DWORD kStopPollMs = 100;

std::string ErrorText(DWORD error) {
  return " (error: " + std::to_string(error) + ")";
}

ServiceState StateOf(const SERVICE_STATUS& status) {
  switch (status.dwCurrentState) {
    case SERVICE_STOPPED:
      return ServiceState::kStopped;
    case SERVICE_STOP_PENDING:
      return ServiceState::kStopping;
    default:
      return ServiceState::kActive;
  }
}

// A deleted service stays until its last handle closes; only a change of
// its configuration tells it apart (one that changes nothing here).
bool MarkedForDeletion(SC_HANDLE service) {
  if (::ChangeServiceConfigW(service, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                             SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr)) {
    return false;
  }
  return ::GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
}

// Waits until the service has stopped or `deadline` (GetTickCount64) has
// passed; true when it stopped.
bool WaitForStop(SC_HANDLE service, ULONGLONG deadline) {
  for (;;) {
    SERVICE_STATUS status = {};
    if (!::QueryServiceStatus(service, &status)) return false;
    if (status.dwCurrentState == SERVICE_STOPPED) return true;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    ::Sleep(static_cast<DWORD>(deadline - now < kStopPollMs ? deadline - now
                                                            : kStopPollMs));
  }
}

}  // namespace

std::wstring TunnelServiceName() {
  return std::wstring(L"WireGuardTunnel$") + kTunnelName;
}

ServiceState QueryTunnelService() {
  const UniqueServiceHandle manager(
      ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return ServiceState::kUnknown;
  const UniqueServiceHandle service(
      ::OpenServiceW(manager.get(), TunnelServiceName().c_str(),
                     SERVICE_QUERY_STATUS | SERVICE_CHANGE_CONFIG));
  if (!service) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST) return ServiceState::kAbsent;
    if (error == ERROR_SERVICE_MARKED_FOR_DELETE) {
      return ServiceState::kMarkedForDeletion;
    }
    return ServiceState::kUnknown;
  }
  if (MarkedForDeletion(service.get())) {
    return ServiceState::kMarkedForDeletion;
  }
  SERVICE_STATUS status = {};
  if (!::QueryServiceStatus(service.get(), &status)) {
    return ServiceState::kUnknown;
  }
  return StateOf(status);
}

bool StopAndDeleteTunnelService(uint32_t budget_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + budget_ms;
  const std::string name = WideToUtf8(TunnelServiceName());
  const UniqueServiceHandle manager(
      ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    NativeLog("ERROR: OpenSCManagerW failed" + ErrorText(::GetLastError()));
    return false;
  }
  const UniqueServiceHandle service(
      ::OpenServiceW(manager.get(), TunnelServiceName().c_str(),
                     SERVICE_STOP | DELETE | SERVICE_QUERY_STATUS));
  if (!service) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
      NativeLog("No service " + name + " to remove");
      return true;
    }
    NativeLog("ERROR: OpenServiceW failed for " + name + ErrorText(error));
    return error == ERROR_SERVICE_MARKED_FOR_DELETE;
  }

  SERVICE_STATUS status = {};
  if (::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
    NativeLog("Asked service " + name + " to stop");
  } else {
    const DWORD error = ::GetLastError();
    // A service that is not running needs no stop.
    if (error == ERROR_SERVICE_NOT_ACTIVE) {
      NativeLog("Service " + name + " is not running");
    } else {
      NativeLog("WARNING: ControlService(stop) failed for " + name +
                ErrorText(error));
    }
  }

  bool deleted = true;
  if (::DeleteService(service.get())) {
    NativeLog("Deleted service " + name);
  } else {
    const DWORD error = ::GetLastError();
    deleted = error == ERROR_SERVICE_MARKED_FOR_DELETE;
    NativeLog((deleted ? "Service " + name + " was already deleted"
                       : "ERROR: DeleteService failed for " + name) +
              ErrorText(error));
  }

  if (WaitForStop(service.get(), deadline)) {
    NativeLog("Service " + name + " has stopped");
  } else {
    NativeLog("WARNING: Service " + name + " has not stopped within " +
              std::to_string(budget_ms) + " ms");
  }
  return deleted;
}
