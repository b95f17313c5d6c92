// The stand-in WireGuard tools installed into a temporary folder laid out
// like an install folder, with their own state folder (set for this process
// and every child it starts) and a fault file.
#ifndef KEELHAVEN_TESTS_STANDINS_STANDIN_WIREGUARD_H_
#define KEELHAVEN_TESTS_STANDINS_STANDIN_WIREGUARD_H_

#include <initializer_list>
#include <string>

#include "tests/support/scoped_environment.h"
#include "tests/support/temp_folder.h"

// The folder of the built stand-ins, as a Windows path.
std::wstring StandinWireGuardBin();

// Copies the built stand-ins named (by default both) into `folder`,
// creating it; true when all are there.
bool CopyStandinTools(const std::wstring& folder,
                      std::initializer_list<const wchar_t*> tools = {
                          L"wireguard.exe", L"wg.exe"});

// Deletes the service manager's entries of the tunnels installed in the
// stand-in state folder `state_folder`. The entries are global to the
// machine (the Wine prefix) and outlive the folder; every test that lets
// the stand-in install a tunnel ends with this.
void RemoveTunnelServices(const std::wstring& state_folder);

class StandinWireGuard {
 public:
  StandinWireGuard();
  // Ends the tools still running from the install folder (hung, or holding
  // the output) and removes the service entries of the tunnels still
  // installed.
  ~StandinWireGuard();

  // <temp>\WireGuard, holding wireguard.exe and wg.exe.
  const std::wstring& install_folder() const { return install_folder_; }
  // <temp>\state, created.
  const std::wstring& state_folder() const { return state_folder_; }
  // install_folder() + "\" + file_name.
  std::wstring Tool(const wchar_t* file_name) const;

  // Replaces the fault file with these lines ("<command> key=value ...").
  void SetFaults(const std::string& lines);
  void RemoveTool(const wchar_t* file_name);

  // What the stand-in's own state says of the tunnel named `name`.
  bool IsInstalled(const std::wstring& name) const;

 private:
  TempFolder root_;
  std::wstring install_folder_;
  std::wstring state_folder_;
  ScopedEnvironmentVariable state_variable_;
};

#endif  // KEELHAVEN_TESTS_STANDINS_STANDIN_WIREGUARD_H_
