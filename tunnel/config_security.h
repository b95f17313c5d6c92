// Access rules of the configuration file and its folder. The file holds the
// tunnel's private key and is read by WireGuard's service (LocalSystem), so
// only SYSTEM and Administrators may read or change it.
#ifndef KEELHAVEN_TUNNEL_CONFIG_SECURITY_H_
#define KEELHAVEN_TUNNEL_CONFIG_SECURITY_H_

#include "util/security_descriptor.h"

// Protected DACLs (not inheriting from the parent folder); the folder's
// entries pass to the files and folders created in it.
inline constexpr wchar_t kConfigFileSddl[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";
inline constexpr wchar_t kConfigFolderSddl[] =
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

#endif  // KEELHAVEN_TUNNEL_CONFIG_SECURITY_H_
