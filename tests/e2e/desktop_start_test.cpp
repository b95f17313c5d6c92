// The host as the desktop starts it: no console and no standard handles.
// The log file in the configuration folder is then its only log.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/e2e/host_test.h"
#include "tests/support/files.h"
#include "tests/support/log_capture.h"
#include "tests/support/test_keys.h"
#include "util/windows_include.h"

namespace {

using DesktopStartTest = HostTest;

TEST_F(DesktopStartTest, WholeSessionWithoutStandardHandlesIsInTheLogFile) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  // Configuration file and log file lie side by side.
  std::wstring log = ConfigFile();
  log.replace(log.rfind(L'\\') + 1, std::wstring::npos, L"keelhaven.log");
  ::DeleteFileW(log.c_str());
  ::DeleteFileW((log + L".1").c_str());
  HostOptions options;
  options.standard_handles = false;
  options.script = SendLine("establishTunnel", TunnelParameters()) +
                   SendLine("getTunnelStats") + SendLine("tearDownTunnel") +
                   "close\n";
  const HostRun run = RunHost(options);

  EXPECT_EQ(run.Replies().size(), 3u);
  EXPECT_EQ(run.process.err, "");
  // Every line that opens a message: a UTC time stamp, then the line
  // standard error would show. (A message's own line breaks, as in a
  // program's output, continue it without a stamp.)
  const std::regex opening(
      R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[Keelhaven Native\] )");
  std::vector<std::string> messages;
  for (const std::string& text : Lines(ReadWholeFile(log))) {
    const size_t prefix = text.find("[Keelhaven Native] ");
    if (prefix == std::string::npos) continue;
    EXPECT_TRUE(std::regex_search(text, opening)) << text;
    messages.push_back(text.substr(prefix + 19));
  }
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front(),
            "MethodChannel registered: com.daltic.halberdix/wireguard");
  EXPECT_TRUE(HasMessageStartingWith(
      messages, "Tunnel established successfully via WireGuard CLI"));
  EXPECT_TRUE(HasMessageStartingWith(messages, "Tunnel torn down"));
  EXPECT_EQ(ReadWholeFile(log).find(kTestPrivateKey), std::string::npos);
}

}  // namespace
