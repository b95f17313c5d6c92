#include "tests/support/standin_wireguard.h"

#include "standins/wireguard/tunnel_service.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

struct FindTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type handle) noexcept { ::FindClose(handle); }
};

}  // namespace

std::wstring StandinWireGuardBin() {
  return FromBuildPath(KEELHAVEN_STANDIN_WIREGUARD_BIN);
}

void RemoveTunnelServices(const std::wstring& state_folder) {
  WIN32_FIND_DATAW entry = {};
  const UniqueHandle<FindTraits> find(
      ::FindFirstFileW((state_folder + L"\\tunnels\\*.conf").c_str(), &entry));
  if (!find) return;
  do {
    const std::wstring file = entry.cFileName;
    DeleteTunnelService(file.substr(0, file.size() - 5));  // ".conf"
  } while (::FindNextFileW(find.get(), &entry));
}

StandinWireGuard::StandinWireGuard()
    : install_folder_(root_.Join(L"WireGuard")),
      state_folder_(root_.Join(L"state")) {
  CreateFolders(install_folder_);
  CreateFolders(state_folder_);
  for (const wchar_t* tool : {L"wireguard.exe", L"wg.exe"}) {
    ::CopyFileW((StandinWireGuardBin() + L"\\" + tool).c_str(),
                (install_folder_ + L"\\" + tool).c_str(), FALSE);
  }
  state_variable_ = std::make_unique<ScopedEnvironmentVariable>(
      L"KEELHAVEN_STANDIN_STATE", state_folder_.c_str());
}

StandinWireGuard::~StandinWireGuard() { RemoveTunnelServices(state_folder_); }

void StandinWireGuard::SetFaults(const std::string& lines) {
  WriteWholeFile(state_folder_ + L"\\faults.txt", lines);
}

void StandinWireGuard::RemoveTool(const wchar_t* file_name) {
  ::DeleteFileW((install_folder_ + L"\\" + file_name).c_str());
}

bool StandinWireGuard::IsInstalled(const std::wstring& name) const {
  return FileExists(state_folder_ + L"\\tunnels\\" + name + L".conf");
}
