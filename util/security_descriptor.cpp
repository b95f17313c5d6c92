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
