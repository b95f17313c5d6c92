#include "tunnel/config_security.h"

#include <sddl.h>

const wchar_t kConfigFileSddl[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";
const wchar_t kConfigFolderSddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

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
