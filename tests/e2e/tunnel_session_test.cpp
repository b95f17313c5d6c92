// A whole session through the channel: the tunnel brought up, its counters
// read, taken down, and the window closed with and without a tunnel up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/host_test.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr char kSuccessNull[] = "0000";

// The reply of "getTunnelStats": a map with "bytesDown" and "bytesUp" as
// 64-bit integers (tag 4, little-endian), in that order.
std::string StatsReply(const std::string& down_le64,
                       const std::string& up_le64) {
  return "000d02"
         "07096279746573446f776e04" +
         down_le64 + "070762797465735570" + "04" + up_le64;
}

const std::string kNoTraffic =
    StatsReply("0000000000000000", "0000000000000000");

using HostSessionTest = HostTest;

TEST_F(HostSessionTest, EstablishStatsTeardownReplyWithExactBytes) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  HostOptions options;
  options.script = SendLine("establishTunnel", TunnelParameters()) +
                   SendLine("getTunnelStats") + SendLine("getTunnelStats") +
                   SendLine("tearDownTunnel") + SendLine("getTunnelStats") +
                   "close\n";
  const HostRun run = RunHost(options);

  ASSERT_FALSE(run.process.timed_out);
  EXPECT_EQ(run.process.exit_code, 0u);
  // The stand-in wg.exe counts 4096 bytes in and 1024 out per dump.
  const std::vector<std::string> expected = {
      kSuccessNull,
      StatsReply("0010000000000000", "0004000000000000"),
      StatsReply("0020000000000000", "0008000000000000"),
      kSuccessNull,
      kNoTraffic,
  };
  EXPECT_EQ(run.Replies(), expected) << run.process.err;
  EXPECT_FALSE(TunnelServiceInstalled());
  EXPECT_FALSE(FileExists(ConfigFile()));

  const std::vector<std::string> messages = run.NativeMessages();
  EXPECT_TRUE(HasMessageStartingWith(
      messages, "Tunnel established successfully via WireGuard CLI"));
  EXPECT_TRUE(HasMessageStartingWith(messages, "Tunnel torn down"));
  // Taken down by the call, so closing has nothing left to do.
  EXPECT_FALSE(HasMessageStartingWith(messages, "OnDestroy:"));
  EXPECT_FALSE(HasMessageStartingWith(messages, "Destructor:"));
  // The whole session's log, the stats dumps included, never shows the key.
  const std::string private_key = TunnelParameters()[0].second;
  EXPECT_EQ(run.process.err.find(private_key), std::string::npos);
  EXPECT_NE(run.process.err.find("Process output: (hidden)\t"),
            std::string::npos);
}

TEST_F(HostSessionTest, RepliesReadAsTheUserInterfaceSeesThem) {
  HostOptions options;
  options.script = SendLine("establishTunnel") +
                   SendLine("establishTunnel", {{"publicKey", "abc"}}) +
                   SendLine("startTunnel") + "close\n";
  const HostRun run = RunHost(options);

  ASSERT_FALSE(run.process.timed_out);
  std::vector<std::string> described;
  for (const std::string& hex : run.Replies()) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(channel_text::FromHex(hex, &bytes)) << hex;
    described.push_back(channel_text::DescribeReply(bytes));
  }
  const std::vector<std::string> expected = {
      "error INVALID_ARGUMENTS \"establishTunnel requires a map of config "
      "params\"",
      "error INVALID_CONFIG \"privateKey, serverPublicKey, and endpoint are "
      "required\"",
      "not implemented",
  };
  EXPECT_EQ(described, expected);
}

TEST_F(HostSessionTest, ClosingWithTunnelUpTakesItDown) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  HostOptions options;
  options.script = SendLine("establishTunnel", TunnelParameters()) + "close\n";
  const HostRun run = RunHost(options);

  ASSERT_FALSE(run.process.timed_out);
  EXPECT_EQ(run.process.exit_code, 0u);
  EXPECT_EQ(run.Replies(), std::vector<std::string>{kSuccessNull});

  const std::vector<std::string> messages = run.NativeMessages();
  EXPECT_TRUE(
      HasMessageStartingWith(messages, "OnDestroy: Tearing down active tunnel"))
      << run.process.err;
  EXPECT_TRUE(HasMessageStartingWith(
      messages, "Tunnel service uninstalled successfully"));
  // The flag was cleared on the way: the destructor finds nothing to do.
  EXPECT_FALSE(HasMessageStartingWith(messages, "Destructor:"));
  EXPECT_FALSE(TunnelServiceInstalled());
  EXPECT_FALSE(FileExists(ConfigFile()));
}

TEST_F(HostSessionTest, ClosingWithoutTunnelTouchesNoTunnel) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  HostOptions options;
  options.script = "close\n";
  const HostRun run = RunHost(options);

  ASSERT_FALSE(run.process.timed_out);
  EXPECT_EQ(run.process.exit_code, 0u);
  const std::vector<std::string> expected = {
      "MethodChannel registered: com.daltic.halberdix/wireguard",
      "Found wireguard.exe at: C:\\Program Files\\WireGuard\\wireguard.exe",
      "WireGuard for Windows found: C:\\Program Files\\WireGuard\\"
      "wireguard.exe",
      // The look for a tunnel left by an earlier run, which finds none.
      "Running: \"C:\\Program Files\\WireGuard\\wg.exe\" show Keelhaven",
      "Process exited with code: 1",
      "Process output: Unable to access interface: No such file or directory",
  };
  EXPECT_EQ(run.NativeMessages(), expected) << run.process.err;
  EXPECT_FALSE(FileExists(ConfigFile()));
}

}  // namespace
