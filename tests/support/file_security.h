// Reading and loosening the access of test files and folders.
#ifndef KEELHAVEN_TESTS_SUPPORT_FILE_SECURITY_H_
#define KEELHAVEN_TESTS_SUPPORT_FILE_SECURITY_H_

#include <string>
#include <vector>

// The SIDs (as SDDL strings) that the DACL of the file or folder grants
// anything to; "<unreadable>" or "<null DACL>" when that is what it is.
std::vector<std::wstring> GrantedSids(const std::wstring& path);

// Fails the test when the DACL of the file or folder is unreadable or null,
// or grants anything to Everyone, Users or Authenticated Users.
void ExpectClosedToEveryoneAndUsers(const std::wstring& path);

// Lets everyone do anything with the file or folder, as a careless or
// hostile user would leave it (under Wine: the o+w mode bits). True when
// the read-back grants Everyone something.
bool OpenToEveryone(const std::wstring& path);

#endif  // KEELHAVEN_TESTS_SUPPORT_FILE_SECURITY_H_
