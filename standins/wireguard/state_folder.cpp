#include "standins/wireguard/state_folder.h"

#include "util/windows_include.h"
// After windows.h:
#include <shlobj.h>

namespace {

std::wstring EnvironmentValue(const wchar_t* name) {
  std::wstring value(64, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD length = ::GetEnvironmentVariableW(
        name, &value[0], static_cast<DWORD>(value.size()));
    if (length == 0) return std::wstring();
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);  // the size needed, terminator included
  }
  return std::wstring();  // kept changing under us
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) {
    path.pop_back();
  }
  return path;
}

}  // namespace

std::wstring StateFolder() {
  std::wstring folder = EnvironmentValue(kStateFolderVariable);
  if (!folder.empty()) return WithoutTrailingSeparators(folder);
  wchar_t common[MAX_PATH] = {};
  if (::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr,
                         SHGFP_TYPE_CURRENT, common) < 0) {
    return std::wstring();
  }
  return WithoutTrailingSeparators(common) + L"\\KeelhavenStandinWireGuard";
}

std::wstring TunnelsFolder(const std::wstring& state_folder) {
  return state_folder + L"\\tunnels";
}

std::wstring FaultFilePath(const std::wstring& state_folder) {
  return state_folder + L"\\faults.txt";
}
