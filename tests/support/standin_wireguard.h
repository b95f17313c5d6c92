// The stand-in WireGuard tools installed into a temporary folder laid out
// like an install folder, with their own state folder (set for this process
// and every child it starts) and a fault file.
#ifndef KEELHAVEN_TESTS_SUPPORT_STANDIN_WIREGUARD_H_
#define KEELHAVEN_TESTS_SUPPORT_STANDIN_WIREGUARD_H_

#include <memory>
#include <string>

#include "tests/support/scoped_environment.h"
#include "tests/support/temp_folder.h"

// The folder of the built stand-ins, as a Windows path.
std::wstring StandinWireGuardBin();

// Deletes the service manager's entries of the tunnels installed in the
// stand-in state folder `state_folder`. The entries are global to the
// machine (the Wine prefix) and outlive the folder; every test that lets
// the stand-in install a tunnel ends with this.
void RemoveTunnelServices(const std::wstring& state_folder);

class StandinWireGuard {
 public:
  StandinWireGuard();
  // Removes the service entries of the tunnels still installed.
  ~StandinWireGuard();

  // <temp>\WireGuard, holding wireguard.exe and wg.exe.
  const std::wstring& install_folder() const { return install_folder_; }
  const std::wstring& state_folder() const { return state_folder_; }

  // Replaces the fault file with these lines ("<command> key=value ...").
  void SetFaults(const std::string& lines);
  void RemoveTool(const wchar_t* file_name);

  // What the stand-in's own state says of the tunnel named `name`.
  bool IsInstalled(const std::wstring& name) const;

 private:
  TempFolder root_;
  std::wstring install_folder_;
  std::wstring state_folder_;
  std::unique_ptr<ScopedEnvironmentVariable> state_variable_;
};

#endif  // KEELHAVEN_TESTS_SUPPORT_STANDIN_WIREGUARD_H_
