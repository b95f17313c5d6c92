// What a program started by this one gets in place of this process's
// environment and folder, when the user's settings must not reach it (the
// user writes their own environment block; this process runs elevated).
#ifndef KEELHAVEN_UTIL_SYSTEM_ENVIRONMENT_H_
#define KEELHAVEN_UTIL_SYSTEM_ENVIRONMENT_H_

#include <string>
#include <vector>

// "NAME=value" strings sorted by name, of the system's own values only:
// ComSpec, PATH (the system folders), PATHEXT, SystemDrive, SystemRoot,
// TEMP and TMP (the machine's, <Windows>\TEMP) and windir. Never empty:
// PATHEXT is there even when Windows can't name its folders.
std::vector<std::wstring> SystemEnvironment();

// The system folder (<Windows>\System32); empty when Windows can't say.
std::wstring SystemFolder();

#endif  // KEELHAVEN_UTIL_SYSTEM_ENVIRONMENT_H_
