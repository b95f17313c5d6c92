// The stand-in wg.exe, run as a child process.
#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "standin_fixture.h"
#include "standins/common/text.h"
#include "standins/wireguard/public_key.h"

namespace {

using WgExeTest = StandinTest;

std::string ExpectedShow(const std::string& name, const std::string& transfer) {
  return "interface: " + name +
         "\r\n  public key: " + DerivePublicKey(kPrivateKey) +
         "\r\n  private key: (hidden)\r\n  listening port: 51820\r\n\r\n"
         "peer: " +
         std::string(kPeerKey) + "\r\n  endpoint: " + kEndpoint +
         "\r\n  allowed ips: 0.0.0.0/0, ::/0\r\n  transfer: " + transfer +
         "\r\n";
}

std::string ExpectedDump(int64_t handshake, uint64_t rx, uint64_t tx) {
  return std::string(kPrivateKey) + "\t" + DerivePublicKey(kPrivateKey) +
         "\t51820\toff\r\n" + kPeerKey + "\t(none)\t" + kEndpoint +
         "\t0.0.0.0/0,::/0\t" + std::to_string(handshake) + "\t" +
         std::to_string(rx) + "\t" + std::to_string(tx) + "\t25\r\n";
}

// The latest-handshake column of a dump, or -1.
int64_t HandshakeOf(const std::string& dump) {
  const std::vector<std::string_view> lines = SplitLines(dump);
  if (lines.size() != 2) return -1;
  // No column of the peer line holds a blank.
  std::istringstream columns{std::string(lines[1])};
  std::string skipped;
  int64_t value = -1;
  columns >> skipped >> skipped >> skipped >> skipped >> value;
  return columns ? value : -1;
}

void ExpectNoInterface(const ChildRun& run) {
  ExpectFailure(run, kNoInterface);
}

TEST_F(WgExeTest, ShowPrintsTheInterfaceAndItsPeer) {
  Install(L"Keelhaven");
  const ChildRun run = Wg(L"show Keelhaven");
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, ExpectedShow("Keelhaven", "0 B received, 0 B sent"));
}

TEST_F(WgExeTest, DumpPrintsTabSeparatedLinesWithTheInstallTime) {
  const int64_t before = static_cast<int64_t>(std::time(nullptr));
  Install(L"Keelhaven");
  const int64_t after = static_cast<int64_t>(std::time(nullptr));
  const ChildRun run = Wg(L"show Keelhaven dump");
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.err, "");
  const int64_t handshake = HandshakeOf(run.out);
  EXPECT_GE(handshake, before);
  EXPECT_LE(handshake, after);
  EXPECT_EQ(run.out, ExpectedDump(handshake, 4096, 1024));
}

TEST_F(WgExeTest, CountersStepWithEveryDumpAndOnlyThere) {
  Install(L"Keelhaven");
  Install(L"Other");
  int64_t handshake = -1;
  for (uint64_t n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    const ChildRun dump = Wg(L"show Keelhaven dump");
    handshake = HandshakeOf(dump.out);
    EXPECT_EQ(dump.out, ExpectedDump(handshake, 4096 * n, 1024 * n));
  }
  // Plain show reports the current values without advancing them.
  EXPECT_EQ(Wg(L"show Keelhaven").out,
            ExpectedShow("Keelhaven", "12.00 KiB received, 3.00 KiB sent"));
  EXPECT_EQ(Wg(L"show Keelhaven dump").out,
            ExpectedDump(handshake, 4096 * 4, 1024 * 4));
  // Each tunnel counts its own calls.
  const ChildRun other = Wg(L"show Other dump");
  EXPECT_EQ(other.out, ExpectedDump(HandshakeOf(other.out), 4096, 1024));
  // A new installation starts again at the first call.
  ASSERT_EQ(Wireguard(L"/uninstalltunnelservice Keelhaven").exit_code, 0u);
  Install(L"Keelhaven");
  const ChildRun fresh = Wg(L"show Keelhaven dump");
  EXPECT_EQ(fresh.out, ExpectedDump(HandshakeOf(fresh.out), 4096, 1024));
}

// Invalid names never reach the state folder; tunnels not installed (before
// any is, or beside one) or uninstalled show no interface either.
TEST_F(WgExeTest, NoInterfaceForInvalidNamesAndTunnelsNotInstalled) {
  ExpectNoInterface(Wg(L"show Keelhaven"));
  ExpectNoInterface(Wg(L"show Keelhaven dump"));
  Install(L"Keelhaven");
  const wchar_t* const names[] = {L"Other", L"..\\tunnels\\Keelhaven",
                                  L"\"tunnels\\Keelhaven\"", L"Keelhaven.conf",
                                  L"\"\""};
  for (const wchar_t* name : names) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
    ExpectNoInterface(Wg(std::wstring(L"show ") + name));
    ExpectNoInterface(Wg(std::wstring(L"show ") + name + L" dump"));
  }
  ASSERT_EQ(Wireguard(L"/uninstalltunnelservice Keelhaven").exit_code, 0u);
  ExpectNoInterface(Wg(L"show Keelhaven"));
  ExpectNoInterface(Wg(L"show Keelhaven dump"));
}

// The tunnel installs, as with the real tool, but never comes up.
TEST_F(WgExeTest, ConfigurationWithoutKeysOrEndpointNeverComesUp) {
  struct Case {
    const char* name;
    std::string config;
  };
  const Case cases[] = {
      {"no Endpoint",
       "[Interface]\r\nPrivateKey = k=\r\n\r\n[Peer]\r\n"
       "PublicKey = p=\r\nAllowedIPs = 0.0.0.0/0\r\n"},
      {"empty Endpoint", HostConfig(kPrivateKey, kPeerKey, "")},
      {"empty PrivateKey", HostConfig("", kPeerKey, kEndpoint)},
      {"empty peer PublicKey", HostConfig(kPrivateKey, "", kEndpoint)},
      {"no peer", "[Interface]\r\nPrivateKey = k=\r\n"},
      {"empty file", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Install(L"Keelhaven", c.config);
    ExpectNoInterface(Wg(L"show Keelhaven"));
    ExpectNoInterface(Wg(L"show Keelhaven dump"));
    ASSERT_EQ(Wireguard(L"/uninstalltunnelservice Keelhaven").exit_code, 0u);
  }
}

TEST_F(WgExeTest, OtherCommandLinesGetTheUsage) {
  Install(L"Keelhaven");
  const wchar_t* const cases[] = {L"",
                                  L"show",
                                  L"SHOW Keelhaven",
                                  L"list Keelhaven",
                                  L"show Keelhaven DUMP",
                                  L"show Keelhaven dump extra"};
  for (const wchar_t* arguments : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(arguments)));
    ExpectFailure(Wg(arguments), "Usage: wg.exe show <interface> [dump]\r\n");
  }
  // None of them counted as a dump.
  const ChildRun dump = Wg(L"show Keelhaven dump");
  EXPECT_EQ(dump.out, ExpectedDump(HandshakeOf(dump.out), 4096, 1024));
}

}  // namespace
