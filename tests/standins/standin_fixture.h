// The stand-in tools installed into a fresh temporary folder per test, with
// a state folder of their own (named in KEELHAVEN_STANDIN_STATE for this
// process and its children), so the tools a test starts see only its
// tunnels and faults.
#ifndef KEELHAVEN_TESTS_STANDINS_STANDIN_FIXTURE_H_
#define KEELHAVEN_TESTS_STANDINS_STANDIN_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/standins/standin_wireguard.h"
#include "tests/support/run_child.h"
#include "tests/support/temp_folder.h"

// A generous limit: a tool that is not told to stall ends far sooner.
constexpr uint32_t kToolTimeoutMs = 30000;

// 44-character keys and the configuration file the host writes for them.
extern const char kPrivateKey[];
extern const char kPeerKey[];
extern const char kEndpoint[];
std::string HostConfig(const std::string& private_key = kPrivateKey,
                       const std::string& peer_key = kPeerKey,
                       const std::string& endpoint = kEndpoint);

// wg.exe's answer for a tunnel that is not installed or not up.
constexpr char kNoInterface[] =
    "Unable to access interface: No such file or directory\r\n";

// A tool's run: exit code 1, nothing on standard output, `err` exactly on
// standard error.
void ExpectFailure(const ChildRun& run, const std::string& err);
// A tool's run: exit code 0 and no output at all.
void ExpectSilentSuccess(const ChildRun& run);

class StandinTest : public testing::Test {
 protected:
  // Writes `bytes` to <work folder>\<file_name> and gives the full path.
  std::wstring WriteWorkFile(const std::wstring& file_name,
                             const std::string& bytes) const;
  // The bytes of <state folder>\tunnels\<file_name>, or "<missing>".
  std::string ReadTunnelFile(const std::wstring& file_name) const;

  ChildRun Wireguard(const std::wstring& arguments,
                     uint32_t timeout_ms = kToolTimeoutMs) const;
  ChildRun Wg(const std::wstring& arguments,
              uint32_t timeout_ms = kToolTimeoutMs) const;
  // Writes <work folder>\<name>.conf and installs it; expects success.
  void Install(const std::wstring& name,
               const std::string& config = HostConfig()) const;

  TempFolder work_folder_;
  StandinWireGuard tools_;
};

#endif  // KEELHAVEN_TESTS_STANDINS_STANDIN_FIXTURE_H_
