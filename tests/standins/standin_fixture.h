// A fresh temporary folder per test, with the stand-in tools' state folder
// inside it (not yet created) and KEELHAVEN_STANDIN_STATE pointing there,
// so the tools started by the test see only this test's tunnels and faults.
#ifndef KEELHAVEN_TESTS_STANDINS_STANDIN_FIXTURE_H_
#define KEELHAVEN_TESTS_STANDINS_STANDIN_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "child_process.h"

// A generous limit: a tool that is not told to stall ends far sooner.
constexpr uint32_t kToolTimeoutMs = 30000;

// 44-character keys and the configuration file the host writes for them.
extern const char kPrivateKey[];
extern const char kPeerKey[];
extern const char kEndpoint[];
std::string HostConfig(const std::string& private_key = kPrivateKey,
                       const std::string& peer_key = kPeerKey,
                       const std::string& endpoint = kEndpoint);

class StandinTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes `bytes` to <work folder>\<file_name> and gives the full path.
  std::wstring WriteWorkFile(const std::wstring& file_name,
                             const std::string& bytes) const;
  // Replaces the fault file of the state folder (creating the folder).
  void WriteFaults(const std::string& text) const;
  void RemoveFaults() const;
  // The bytes of <state folder>\<relative>, or "<missing>".
  std::string ReadStateFile(const std::wstring& relative) const;

  ChildRun Wireguard(const std::wstring& arguments,
                     uint32_t timeout_ms = kToolTimeoutMs) const;
  ChildRun Wg(const std::wstring& arguments,
              uint32_t timeout_ms = kToolTimeoutMs) const;
  // Writes <work folder>\<name>.conf and installs it; expects success.
  void Install(const std::wstring& name,
               const std::string& config = HostConfig()) const;

  std::wstring work_folder_;
  std::wstring state_folder_;
};

#endif  // KEELHAVEN_TESTS_STANDINS_STANDIN_FIXTURE_H_
