// Security descriptors for the objects this program creates, built from
// SDDL text.
#ifndef KEELHAVEN_UTIL_SECURITY_DESCRIPTOR_H_
#define KEELHAVEN_UTIL_SECURITY_DESCRIPTOR_H_

#include <string>

#include "util/unique_handle.h"
#include "util/windows_include.h"

// A self-relative descriptor; empty when the text can't be parsed.
UniqueLocalMemory SecurityDescriptorFromSddl(const std::wstring& sddl);

// Replaces the DACL of an object opened with WRITE_DAC by the descriptor's,
// protected from inheritance. Gives the Windows error, ERROR_SUCCESS when
// done.
DWORD ApplyProtectedDacl(HANDLE object, PSECURITY_DESCRIPTOR descriptor);

// This process's user SID as text ("S-1-5-..."); empty when it can't be
// read.
std::wstring CurrentUserSid();

#endif  // KEELHAVEN_UTIL_SECURITY_DESCRIPTOR_H_
