#include "util/security_descriptor.h"

#include <memory>

#include "util/windows_include.h"
// After windows.h:
#include <aclapi.h>
#include <sddl.h>

SecurityDescriptor::SecurityDescriptor(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          sddl, SDDL_REVISION_1, &descriptor, nullptr)) {
    memory_.reset(descriptor);
  }
}

PACL SecurityDescriptor::dacl() const {
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (!valid() ||
      !::GetSecurityDescriptorDacl(get(), &present, &dacl, &defaulted) ||
      !present) {
    return nullptr;
  }
  return dacl;
}

SECURITY_ATTRIBUTES SecurityDescriptor::attributes() const {
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.lpSecurityDescriptor = get();
  attributes.bInheritHandle = FALSE;
  return attributes;
}

DWORD ApplyProtectedDacl(HANDLE object, const SecurityDescriptor& descriptor) {
  PACL dacl = descriptor.dacl();
  if (dacl == nullptr) return ERROR_INVALID_SECURITY_DESCR;
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
