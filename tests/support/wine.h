// Whether the tests run under Wine. Tests that delete or replace folders
// of the machine they run on (WireGuard's install folders, the
// configuration folder under ProgramData) run only there, in a prefix made
// for them; on a real machine they skip.
#ifndef KEELHAVEN_TESTS_SUPPORT_WINE_H_
#define KEELHAVEN_TESTS_SUPPORT_WINE_H_

// True when ntdll is Wine's (it exports wine_get_version).
bool RunningUnderWine();

// The message a test skips with on a real machine.
extern const char kNotUnderWine[];

#include <string>

// Makes `link` a symbolic link to `target` (a file or folder). Under Wine,
// whose CreateSymbolicLinkW creates nothing, a Unix symbolic link made with
// ln, which Wine reports as a reparse point. True when the link is there.
bool MakeSymbolicLink(const std::wstring& link, const std::wstring& target);

// Under Wine, removes the Unix symbolic link `link` itself (with rm), which
// Wine can't delete: it follows the link even to delete it. False when not
// under Wine or the link is still there.
bool RemoveUnixLink(const std::wstring& link);

#endif  // KEELHAVEN_TESTS_SUPPORT_WINE_H_
