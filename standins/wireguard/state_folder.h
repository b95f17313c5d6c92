// Where the stand-in tools keep their tunnels and find their fault file.
#ifndef KEELHAVEN_STANDINS_WIREGUARD_STATE_FOLDER_H_
#define KEELHAVEN_STANDINS_WIREGUARD_STATE_FOLDER_H_

#include <string>

// The variable that points the tools at another state folder (tests give
// each case its own).
constexpr wchar_t kStateFolderVariable[] = L"KEELHAVEN_STANDIN_STATE";

// The file beside the tools that names their state folder (UTF-8), for
// tools started with an environment of the system's own (the host gives
// WireGuard's tools one).
constexpr wchar_t kStateFolderFile[] = L"state-folder.txt";

// %KEELHAVEN_STANDIN_STATE% when set and not empty, otherwise what
// kStateFolderFile beside the running program names, otherwise
// <common application data>\KeelhavenStandinWireGuard; without trailing
// separators; empty when none can be had. Not created here.
std::wstring StateFolder();

// <state folder>\tunnels, which holds <name>.conf (a copy of the
// configuration a tunnel was installed from; its existence means
// "installed") and <name>.state of every installed tunnel.
std::wstring TunnelsFolder(const std::wstring& state_folder);

// <state folder>\faults.txt
std::wstring FaultFilePath(const std::wstring& state_folder);

#endif  // KEELHAVEN_STANDINS_WIREGUARD_STATE_FOLDER_H_
