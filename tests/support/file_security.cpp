#include "tests/support/file_security.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "util/native_log.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"
// After windows.h:
#include <aclapi.h>
#include <sddl.h>

std::vector<std::wstring> GrantedSids(const std::wstring& path) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::vector<std::wstring> sids;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    sids.push_back(L"<unreadable>");
    return sids;
  }
  const UniqueLocalMemory owner(descriptor);
  if (dacl == nullptr) sids.push_back(L"<null DACL>");
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(dacl, i, &ace)) continue;
    const auto* header = static_cast<ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    LPWSTR sid = nullptr;
    if (::ConvertSidToStringSidW(&allowed->SidStart, &sid)) {
      sids.push_back(sid);
      ::LocalFree(sid);
    }
  }
  return sids;
}

void ExpectClosedToEveryoneAndUsers(const std::wstring& path) {
  SCOPED_TRACE(WideToUtf8(path));
  for (const std::wstring& sid : GrantedSids(path)) {
    SCOPED_TRACE(WideToUtf8(sid));
    EXPECT_NE(sid, L"<unreadable>");
    EXPECT_NE(sid, L"<null DACL>");
    EXPECT_NE(sid, L"S-1-1-0");       // Everyone
    EXPECT_NE(sid, L"S-1-5-32-545");  // Users
    EXPECT_NE(sid, L"S-1-5-11");      // Authenticated Users
  }
}

bool OpenToEveryone(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  const UniqueLocalMemory owner(descriptor);
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) ||
      ::SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()),
                              SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, dacl,
                              nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::vector<std::wstring> granted = GrantedSids(path);
  return std::find(granted.begin(), granted.end(), L"S-1-1-0") != granted.end();
}
