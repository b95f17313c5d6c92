#include "util/security_descriptor.h"

#include <memory>

// After windows.h:
#include <aclapi.h>
#include <sddl.h>

UniqueLocalMemory SecurityDescriptorFromSddl(const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return UniqueLocalMemory();
  }
  return UniqueLocalMemory(descriptor);
}

DWORD ApplyProtectedDacl(HANDLE object, PSECURITY_DESCRIPTOR descriptor) {
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) ||
      !present || dacl == nullptr) {
    return ERROR_INVALID_SECURITY_DESCR;
  }
  return ::SetSecurityInfo(
      object, SE_FILE_OBJECT,
      DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
      nullptr, dacl, nullptr);
}

std::wstring CurrentUserSid() {
  UniqueKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) {
    token.release();  // nothing to close on failure
    return std::wstring();
  }
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size < sizeof(TOKEN_USER)) return std::wstring();
  // TOKEN_USER holds a pointer; the storage must be aligned for it.
  auto storage = std::make_unique<void*[]>(size / sizeof(void*) + 1);
  auto* user = reinterpret_cast<TOKEN_USER*>(storage.get());
  wchar_t* text = nullptr;
  if (!::GetTokenInformation(token.get(), TokenUser, user, size, &size) ||
      !::ConvertSidToStringSidW(user->User.Sid, &text)) {
    return std::wstring();
  }
  const UniqueLocalMemory owner(text);
  return std::wstring(text);
}
