// The stand-in wireguard.exe, run as a child process.
#include <gtest/gtest.h>

#include <string>

#include "standin_fixture.h"
#include "standins/wireguard/state_folder.h"
#include "standins/wireguard/tunnel_service.h"
#include "tests/support/files.h"
#include "tests/support/scoped_environment.h"
#include "util/windows_include.h"

namespace {

using WireguardExeTest = StandinTest;

constexpr char kAlreadyInstalled[] =
    "[Error:  Tunnel already installed and running]\r\n";
constexpr char kNoService[] =
    "[Error:  The specified service does not exist as an installed "
    "service.]\r\n";
constexpr char kBadPath[] =
    "[Error:  Path must end in either .conf.dpapi or .conf]\r\n";
constexpr char kBadName[] = "[Error:  Tunnel name is not valid]\r\n";

TEST_F(WireguardExeTest, InstallKeepsACopyAndRefusesASecondInstall) {
  const std::wstring path = WriteWorkFile(L"Keelhaven.conf", HostConfig());
  ExpectSilentSuccess(Wireguard(L"/installtunnelservice \"" + path + L"\""));
  EXPECT_EQ(ReadTunnelFile(L"Keelhaven.conf"), HostConfig());

  // Another file of the same name elsewhere names the same tunnel.
  ASSERT_TRUE(CreateDirectoryW(work_folder_.Join(L"other").c_str(), nullptr));
  const std::wstring other =
      WriteWorkFile(L"other\\keelhaven.conf", HostConfig("x", "y", "z:1"));
  ExpectFailure(Wireguard(L"/installtunnelservice \"" + path + L"\""),
                kAlreadyInstalled);
  ExpectFailure(Wireguard(L"/installtunnelservice \"" + other + L"\""),
                kAlreadyInstalled);
  EXPECT_EQ(ReadTunnelFile(L"Keelhaven.conf"), HostConfig());
}

TEST_F(WireguardExeTest, UninstallRemovesOnceAndAllowsANewInstall) {
  Install(L"Keelhaven");
  EXPECT_TRUE(TunnelServiceRegistered(L"Keelhaven"));
  ExpectSilentSuccess(Wireguard(L"/uninstalltunnelservice Keelhaven"));
  EXPECT_EQ(ReadTunnelFile(L"Keelhaven.conf"), "<missing>");
  EXPECT_EQ(ReadTunnelFile(L"Keelhaven.state"), "<missing>");
  EXPECT_FALSE(TunnelServiceRegistered(L"Keelhaven"));
  ExpectFailure(Wireguard(L"/uninstalltunnelservice Keelhaven"), kNoService);
  Install(L"Keelhaven");
}

TEST_F(WireguardExeTest, UninstallRemovesAServiceEntryWithoutState) {
  // As a tunnel installed with another state folder leaves it.
  ASSERT_TRUE(RegisterTunnelService(L"Keelhaven"));
  ExpectSilentSuccess(Wireguard(L"/uninstalltunnelservice Keelhaven"));
  EXPECT_FALSE(TunnelServiceRegistered(L"Keelhaven"));
}

TEST_F(WireguardExeTest, UninstallOfAnUnknownOrInvalidNameTouchesNothing) {
  Install(L"Keelhaven");
  const wchar_t* const names[] = {L"Other", L"..\\tunnels\\Keelhaven",
                                  L"\"tunnels\\Keelhaven\"", L"Keelhaven.conf",
                                  L"\"Keel haven\""};
  for (const wchar_t* name : names) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
    ExpectFailure(Wireguard(std::wstring(L"/uninstalltunnelservice ") + name),
                  kNoService);
  }
  EXPECT_EQ(ReadTunnelFile(L"Keelhaven.conf"), HostConfig());
}

// The file name gives the tunnel's name: ".conf" in any case, and a name
// by the name rule.
TEST_F(WireguardExeTest, FileNamesEndInConfAndFollowTheNameRule) {
  struct Case {
    std::wstring file;
    const char* error;  // null: installed under the stem + ".conf"
  };
  const Case cases[] = {
      {L"a.conf", nullptr},
      {L"AZaz09_=+.-.conf", nullptr},
      {std::wstring(32, L'n') + L".conf", nullptr},
      {L"Upper.CONF", nullptr},
      {std::wstring(33, L'n') + L".conf", kBadName},
      {L".conf", kBadName},
      {L"two words.conf", kBadName},
      {L"semi;colon.conf", kBadName},
      {L"bang!.conf", kBadName},
      {L"caf\u00e9.conf", kBadName},
      {L"wide\uff21.conf", kBadName},  // fullwidth A
      {L"Keelhaven.txt", kBadPath},
      {L"Keelhaven", kBadPath},
      {L"Keelhaven.conf.dpapi", kBadPath},
      {L"Keelhaven.conf.bak", kBadPath},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.file));
    const std::wstring path = WriteWorkFile(c.file, HostConfig());
    const ChildRun run = Wireguard(L"/installtunnelservice \"" + path + L"\"");
    const std::wstring stored = c.file.substr(0, c.file.rfind(L'.')) + L".conf";
    if (c.error == nullptr) {
      ExpectSilentSuccess(run);
      EXPECT_EQ(ReadTunnelFile(stored), HostConfig());
    } else {
      ExpectFailure(run, c.error);
      EXPECT_EQ(ReadTunnelFile(stored), "<missing>");
    }
  }
}

TEST_F(WireguardExeTest, MissingOrOversizedConfigurationIsAnError) {
  const ChildRun missing =
      Wireguard(L"/installtunnelservice \"" +
                work_folder_.Join(L"Keelhaven.conf") + L"\"");
  ExpectFailure(missing,
                "[Error:  Unable to read configuration file: it does not "
                "exist]\r\n");
  const std::wstring big =
      WriteWorkFile(L"Big.conf", std::string(256 * 1024 + 1, '#'));
  ExpectFailure(Wireguard(L"/installtunnelservice \"" + big + L"\""),
                "[Error:  Unable to read configuration file: it is too "
                "large]\r\n");
  EXPECT_EQ(ReadTunnelFile(L"Keelhaven.conf"), "<missing>");
  EXPECT_EQ(ReadTunnelFile(L"Big.conf"), "<missing>");
}

TEST_F(WireguardExeTest, OtherCommandLinesGetTheUsage) {
  const std::wstring path = WriteWorkFile(L"Keelhaven.conf", HostConfig());
  const std::wstring cases[] = {
      L"",
      L"/install",
      L"/INSTALLTUNNELSERVICE \"" + path + L"\"",
      L"/installtunnelservice",
      L"/installtunnelservice \"" + path + L"\" \"" + path + L"\"",
      L"/uninstalltunnelservice",
      L"/uninstalltunnelservice Keelhaven extra",
  };
  for (const std::wstring& arguments : cases) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    const ChildRun run = Wireguard(arguments);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exit_code, 1u);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("Usage: wireguard.exe ", 0), 0u) << run.err;
  }
  EXPECT_EQ(ReadTunnelFile(L"Keelhaven.conf"), "<missing>");
}

// Without the variable the state lives in the machine-wide folder.
TEST_F(WireguardExeTest, DefaultStateFolderIsUnderCommonAppData) {
  // The prefix is shared by test processes; a name of this process only.
  const std::wstring name = L"t" + std::to_wstring(GetCurrentProcessId());
  const std::wstring path = WriteWorkFile(name + L".conf", HostConfig());
  const ScopedEnvironmentVariable unset(kStateFolderVariable, nullptr);
  // Nor a file beside the tool that names one.
  ASSERT_TRUE(::DeleteFileW(
      (tools_.install_folder() + L"\\" + kStateFolderFile).c_str()));
  const std::wstring copy =
      TunnelsFolder(StateFolder()) + L"\\" + name + L".conf";

  ExpectSilentSuccess(Wireguard(L"/installtunnelservice \"" + path + L"\""));
  EXPECT_TRUE(FileExists(copy));
  ExpectSilentSuccess(Wireguard(L"/uninstalltunnelservice " + name));
  EXPECT_FALSE(FileExists(copy));
}

}  // namespace
