#include "util/system_environment.h"

#include "util/windows_include.h"

namespace {

// The folder `get` gives (GetSystemWindowsDirectoryW or
// GetSystemDirectoryW); empty when it fails.
std::wstring Folder(UINT(WINAPI* get)(LPWSTR, UINT)) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = get(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(folder, length)
                                         : std::wstring();
}

}  // namespace

std::wstring SystemFolder() { return Folder(::GetSystemDirectoryW); }

std::vector<std::wstring> SystemEnvironment() {
  const std::wstring windows = Folder(::GetSystemWindowsDirectoryW);
  const std::wstring system = SystemFolder();
  const std::wstring pathext =
      L"PATHEXT=.COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC";
  if (windows.size() < 3 || system.empty()) return {pathext};
  const std::wstring temp = windows + L"\\TEMP";
  return {
      L"ComSpec=" + system + L"\\cmd.exe",
      L"PATH=" + system + L";" + windows + L";" + system + L"\\Wbem;" + system +
          L"\\WindowsPowerShell\\v1.0\\",
      pathext,
      L"SystemDrive=" + windows.substr(0, 2),
      L"SystemRoot=" + windows,
      L"TEMP=" + temp,
      L"TMP=" + temp,
      L"windir=" + windows,
  };
}
