#include "tunnel/config_location.h"

#include <string>

#include "util/windows_include.h"
// After windows.h:
#include <shlobj.h>

const wchar_t kTunnelName[] = L"Keelhaven";

std::wstring ConfigFileName() { return std::wstring(kTunnelName) + L".conf"; }

std::wstring GetConfigDirectory() {
  wchar_t buffer[MAX_PATH] = {};
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr,
                                   SHGFP_TYPE_CURRENT, buffer))) {
    return std::wstring(buffer) + L"\\" + kTunnelName;
  }
  const DWORD length = ::GetTempPathW(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(buffer, length) + kTunnelName;
}
