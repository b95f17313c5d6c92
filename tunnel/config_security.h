// Access rules of the configuration file and its folder. The file holds the
// tunnel's private key and is read by WireGuard's service (LocalSystem), so
// only SYSTEM and Administrators may read or change it.
#ifndef KEELHAVEN_TUNNEL_CONFIG_SECURITY_H_
#define KEELHAVEN_TUNNEL_CONFIG_SECURITY_H_

#include "util/unique_handle.h"
#include "util/windows_include.h"

// Protected DACLs (not inheriting from the parent folder).
extern const wchar_t kConfigFileSddl[];    // D:P(A;;FA;;;SY)(A;;FA;;;BA)
extern const wchar_t kConfigFolderSddl[];  // ...with OICI inheritance

// A self-relative security descriptor built from SDDL, owning its memory.
class SecurityDescriptor {
 public:
  // Empty (valid() false) when the text can't be parsed.
  explicit SecurityDescriptor(const wchar_t* sddl);

  bool valid() const { return memory_.valid(); }
  PSECURITY_DESCRIPTOR get() const { return memory_.get(); }
  // The descriptor's DACL; null when it has none.
  PACL dacl() const;
  // Attributes for CreateFileW / CreateDirectoryW, handle not inheritable.
  SECURITY_ATTRIBUTES attributes() const;

 private:
  UniqueLocalMemory memory_;
};

#endif  // KEELHAVEN_TUNNEL_CONFIG_SECURITY_H_
