#include "standins/wireguard/state_folder.h"

#include "standins/wireguard/file_io.h"
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

// What kStateFolderFile beside this program names; empty when nothing.
std::wstring FolderNamedBesideProgram() {
  wchar_t program[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, program, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  const std::wstring path(program, length);
  std::string text;
  if (ReadSmallFile(
          path.substr(0, path.find_last_of(L'\\') + 1) + kStateFolderFile, 4096,
          &text) != ReadStatus::kOk) {
    return std::wstring();
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.pop_back();
  }
  const int size = ::MultiByteToWideChar(
      CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring folder(size > 0 ? size : 0, L'\0');
  if (size > 0) {
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(),
                          static_cast<int>(text.size()), &folder[0], size);
  }
  return folder;
}

}  // namespace

std::wstring StateFolder() {
  std::wstring folder = EnvironmentValue(kStateFolderVariable);
  if (folder.empty()) folder = FolderNamedBesideProgram();
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
