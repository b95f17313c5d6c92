// Security descriptors for the objects this program creates, built from
// SDDL text.
#ifndef KEELHAVEN_UTIL_SECURITY_DESCRIPTOR_H_
#define KEELHAVEN_UTIL_SECURITY_DESCRIPTOR_H_

#include <string>

#include "util/unique_handle.h"
#include "util/windows_include.h"

// A self-relative security descriptor built from SDDL, owning its memory.
class SecurityDescriptor {
 public:
  // Empty (valid() false) when the text can't be parsed.
  explicit SecurityDescriptor(const wchar_t* sddl);
  explicit SecurityDescriptor(const std::wstring& sddl)
      : SecurityDescriptor(sddl.c_str()) {}

  bool valid() const { return memory_.valid(); }
  explicit operator bool() const { return valid(); }
  PSECURITY_DESCRIPTOR get() const { return memory_.get(); }
  // The descriptor's DACL; null when it has none.
  PACL dacl() const;
  // Attributes for CreateFileW / CreateDirectoryW / CreateNamedPipeW, handle
  // not inheritable.
  SECURITY_ATTRIBUTES attributes() const;

 private:
  UniqueLocalMemory memory_;
};

// Replaces the DACL of an object opened with WRITE_DAC by the descriptor's,
// protected from inheritance. Gives the Windows error, ERROR_SUCCESS when
// done.
DWORD ApplyProtectedDacl(HANDLE object, const SecurityDescriptor& descriptor);

#endif  // KEELHAVEN_UTIL_SECURITY_DESCRIPTOR_H_
