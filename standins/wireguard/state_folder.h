// Where the stand-in tools keep their tunnels and find their fault file.
#ifndef KEELHAVEN_STANDINS_WIREGUARD_STATE_FOLDER_H_
#define KEELHAVEN_STANDINS_WIREGUARD_STATE_FOLDER_H_

#include <string>

// The variable that points the tools at another state folder (tests give
// each case its own).
constexpr wchar_t kStateFolderVariable[] = L"KEELHAVEN_STANDIN_STATE";

// %KEELHAVEN_STANDIN_STATE% when set and not empty, otherwise
// <common application data>\KeelhavenStandinWireGuard; without trailing
// separators; empty when neither can be had. Not created here.
std::wstring StateFolder();

// <state folder>\tunnels, which holds <name>.conf (a copy of the
// configuration a tunnel was installed from; its existence means
// "installed") and <name>.state of every installed tunnel.
std::wstring TunnelsFolder(const std::wstring& state_folder);

// <state folder>\faults.txt
std::wstring FaultFilePath(const std::wstring& state_folder);

#endif  // KEELHAVEN_STANDINS_WIREGUARD_STATE_FOLDER_H_
