#include "tests/support/temp_folder.h"

#include <atomic>

#include "tests/support/files.h"
#include "util/windows_include.h"

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  wchar_t base[MAX_PATH] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH, base);
  std::wstring prefix(base, length);
  for (int attempt = 0;; ++attempt) {
    path_ = prefix + L"keelhaven-test-" +
            std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++);
    if (::CreateDirectoryW(path_.c_str(), nullptr) || attempt > 100) break;
  }
}

TempFolder::~TempFolder() { DeleteTree(path_); }

std::wstring TempFolder::Join(const std::wstring& name) const {
  return path_ + L"\\" + name;
}
