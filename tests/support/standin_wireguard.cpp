#include "tests/support/standin_wireguard.h"

#include "util/windows_include.h"

std::wstring StandinWireGuardBin() {
  return FromBuildPath(KEELHAVEN_STANDIN_WIREGUARD_BIN);
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

void StandinWireGuard::SetFaults(const std::string& lines) {
  WriteWholeFile(state_folder_ + L"\\faults.txt", lines);
}

void StandinWireGuard::RemoveTool(const wchar_t* file_name) {
  ::DeleteFileW((install_folder_ + L"\\" + file_name).c_str());
}

bool StandinWireGuard::IsInstalled(const std::wstring& name) const {
  return FileExists(state_folder_ + L"\\tunnels\\" + name + L".conf");
}
