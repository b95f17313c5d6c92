// The fixture of the end-to-end tests: a state folder of its own for the
// stand-in WireGuard tools (inherited through keelhaven.exe by the tools it
// starts), the tools installed where WireGuard for Windows installs itself
// on request, and nothing of either left behind. Every test that uses it
// holds the ctest resource lock "standin_tunnels": the Program Files and
// ProgramData folders and the service manager of the Wine prefix are
// shared.
#ifndef KEELHAVEN_TESTS_E2E_HOST_TEST_H_
#define KEELHAVEN_TESTS_E2E_HOST_TEST_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "standins/channel_tool/channel_text.h"
#include "tests/e2e/host_process.h"
#include "tests/standins/standin_wireguard.h"

extern const char kChannel[];  // "com.daltic.halberdix/wireguard"

// A script line that sends a call of `method` with string parameters.
std::string SendLine(
    const std::string& method,
    const std::vector<channel_text::Parameter>& parameters = {});
// The seven parameters of "establishTunnel", all given.
std::vector<channel_text::Parameter> TunnelParameters();
// The hex of a standard-codec string value (size under 254 bytes).
std::string StringHex(const std::string& text);
// The host's log at start with the tools in kWireGuardFolder, up to the end
// of its look for an earlier run's interface, which finds none.
std::vector<std::string> StartMessagesWithoutInterface();

class HostTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Copies the stand-in wireguard.exe and wg.exe into kWireGuardFolder.
  void InstallWireGuard() const;
  // A Keelhaven tunnel installed through the stand-in, as an earlier run
  // that ended without taking it down would leave it. With `comes_up`
  // false its configuration lacks the peer's endpoint: the service is
  // registered, but wg.exe shows no interface.
  void InstallLeftoverTunnel(bool comes_up = true) const;
  // Runs the host until it has brought a tunnel up, then kills it: no
  // window message, no destructor, as after a crash or kill -9.
  void KillHostWithTunnelUp() const;
  // The stand-in's own record of the tunnel.
  bool TunnelServiceInstalled() const;
  // The service manager's entry of the tunnel.
  bool TunnelServiceRegistered() const;
  // Registered, and its configuration file written.
  bool TunnelUp() const;
  std::wstring ConfigFile() const { return HostConfigFile(); }
  // Every host start under Wine moves an existing configuration folder
  // aside, beside it, as <folder>.untrusted-<random>: those folders.
  std::vector<std::wstring> MovedConfigFolders() const;
  // The configuration folder and those moved aside.
  void DeleteConfigFolders() const;
  std::wstring ConfigFolder() const {
    const std::wstring file = HostConfigFile();
    return file.substr(0, file.rfind(L'\\'));
  }

  std::unique_ptr<StandinWireGuard> standin_;
};

#endif  // KEELHAVEN_TESTS_E2E_HOST_TEST_H_
