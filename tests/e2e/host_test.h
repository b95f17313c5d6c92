// The fixture of the end-to-end tests: a state folder of its own for the
// stand-in WireGuard tools (inherited through keelhaven.exe by the tools it
// starts), the tools installed where WireGuard for Windows installs itself
// on request, and nothing of either left behind. Every test that uses it
// holds the ctest resource lock "e2e_wireguard": the Program Files and
// ProgramData folders of the Wine prefix are shared.
#ifndef KEELHAVEN_TESTS_E2E_HOST_TEST_H_
#define KEELHAVEN_TESTS_E2E_HOST_TEST_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "standins/channel_tool/channel_text.h"
#include "tests/e2e/host_process.h"
#include "tests/support/standin_wireguard.h"

extern const char kChannel[];             // "com.daltic.halberdix/wireguard"
extern const wchar_t kWireGuardFolder[];  // C:\Program Files\WireGuard

// A script line that sends a call of `method` with string parameters.
std::string SendLine(
    const std::string& method,
    const std::vector<channel_text::Parameter>& parameters = {});
// The seven parameters of "establishTunnel", all given.
std::vector<channel_text::Parameter> TunnelParameters();
// The hex of a standard-codec string value (size under 254 bytes).
std::string StringHex(const std::string& text);

class HostTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Copies the stand-in wireguard.exe and wg.exe into kWireGuardFolder.
  void InstallWireGuard() const;
  // A Keelhaven tunnel installed through the stand-in, as an earlier run
  // that ended without taking it down would leave it.
  void InstallLeftoverTunnel() const;
  bool TunnelServiceInstalled() const;
  // <common application data>\Keelhaven\Keelhaven.conf.
  std::wstring ConfigFile() const;

  std::unique_ptr<StandinWireGuard> standin_;
};

#endif  // KEELHAVEN_TESTS_E2E_HOST_TEST_H_
