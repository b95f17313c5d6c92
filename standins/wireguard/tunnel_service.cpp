#include "standins/wireguard/tunnel_service.h"

#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

UniqueServiceHandle OpenManager(DWORD access) {
  return UniqueServiceHandle(::OpenSCManagerW(nullptr, nullptr, access));
}

UniqueServiceHandle OpenTunnelService(const std::wstring& tunnel_name,
                                      DWORD access) {
  const UniqueServiceHandle manager = OpenManager(SC_MANAGER_CONNECT);
  if (!manager) return UniqueServiceHandle();
  return UniqueServiceHandle(::OpenServiceW(
      manager.get(), TunnelServiceName(tunnel_name).c_str(), access));
}

}  // namespace

std::wstring TunnelServiceName(const std::wstring& tunnel_name) {
  return L"WireGuardTunnel$" + tunnel_name;
}

bool RegisterTunnelService(const std::wstring& tunnel_name) {
  wchar_t self[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const std::wstring binary = L"\"" + std::wstring(self, length) + L"\"";
  const UniqueServiceHandle manager = OpenManager(SC_MANAGER_CREATE_SERVICE);
  if (!manager) return false;
  const std::wstring name = TunnelServiceName(tunnel_name);
  const UniqueServiceHandle service(::CreateServiceW(
      manager.get(), name.c_str(), name.c_str(), SERVICE_QUERY_STATUS,
      SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
      binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  return service.valid() || ::GetLastError() == ERROR_SERVICE_EXISTS;
}

bool DeleteTunnelService(const std::wstring& tunnel_name) {
  const UniqueServiceHandle service = OpenTunnelService(tunnel_name, DELETE);
  return service && ::DeleteService(service.get());
}

bool TunnelServiceRegistered(const std::wstring& tunnel_name) {
  return OpenTunnelService(tunnel_name, SERVICE_QUERY_STATUS).valid();
}
