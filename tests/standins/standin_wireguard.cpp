#include "tests/standins/standin_wireguard.h"

#include "standins/wireguard/state_folder.h"
#include "standins/wireguard/tunnel_service.h"
#include "tests/support/files.h"
#include "tests/support/run_child.h"
#include "util/native_log.h"
#include "util/windows_include.h"

std::wstring StandinWireGuardBin() {
  return FromBuildPath(KEELHAVEN_STANDIN_WIREGUARD_BIN);
}

bool CopyStandinTools(const std::wstring& folder,
                      std::initializer_list<const wchar_t*> tools) {
  bool copied = CreateFolders(folder);
  for (const wchar_t* tool : tools) {
    copied =
        copied && ::CopyFileW((StandinWireGuardBin() + L"\\" + tool).c_str(),
                              (folder + L"\\" + tool).c_str(), FALSE);
  }
  // The tools' state folder of this test, for the tools started without
  // this process's environment.
  wchar_t state[MAX_PATH] = {};
  const DWORD length =
      ::GetEnvironmentVariableW(kStateFolderVariable, state, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    copied = copied && WriteWholeFile(folder + L"\\" + kStateFolderFile,
                                      WideToUtf8(state));
  }
  return copied;
}

void RemoveTunnelServices(const std::wstring& state_folder) {
  ForEachEntry(TunnelsFolder(state_folder) + L"\\*.conf",
               [](const std::wstring& file) {
                 DeleteTunnelService(file.substr(0, file.size() - 5));
               });
}

StandinWireGuard::StandinWireGuard()
    : install_folder_(root_.Join(L"WireGuard")),
      state_folder_(root_.Join(L"state")),
      state_variable_(kStateFolderVariable, state_folder_.c_str()) {
  CopyStandinTools(install_folder_);
  CreateFolders(state_folder_);
}

StandinWireGuard::~StandinWireGuard() {
  EndProcessesIn(install_folder_);
  RemoveTunnelServices(state_folder_);
}

std::wstring StandinWireGuard::Tool(const wchar_t* file_name) const {
  return install_folder_ + L"\\" + file_name;
}

void StandinWireGuard::SetFaults(const std::string& lines) {
  WriteWholeFile(FaultFilePath(state_folder_), lines);
}

void StandinWireGuard::RemoveTool(const wchar_t* file_name) {
  ::DeleteFileW(Tool(file_name).c_str());
}

bool StandinWireGuard::IsInstalled(const std::wstring& name) const {
  return FileExists(TunnelsFolder(state_folder_) + L"\\" + name + L".conf");
}
