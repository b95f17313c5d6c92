// Locating WireGuard for Windows' tools and installing and removing the
// tunnel service, with the stand-in tools as real child processes.
#include "tunnel/wireguard_tools.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "standins/common/text.h"
#include "tests/support/file_security.h"
#include "tests/support/files.h"
#include "tests/support/log_capture.h"
#include "tests/support/tunnel_fixture.h"
#include "tests/support/wine.h"
#include "tests/util/runner_log.h"
#include "tunnel/config_file.h"
#include "tunnel/tunnel_stats.h"
#include "util/native_log.h"
#include "util/token_facts.h"
#include "util/windows_include.h"

namespace {

constexpr char kEmDash[] = "\xE2\x80\x94";
constexpr char kNoService[] =
    "[Error:  The specified service does not exist as an installed "
    "service.]\r\n";
constexpr char kNotFound[] =
    "ERROR: wireguard.exe not found. Is WireGuard for Windows installed?";
constexpr char kNotInstalled[] =
    "WireGuard for Windows is not installed. Please install it from "
    "https://www.wireguard.com/install/";
constexpr char kPartial[] = "Uninstall may have partially failed";

// Whether folders of the running account count as no one else's: only
// when its token is not split.
bool OwnFoldersTrusted() {
  return TokenFacts::OfThisProcess().SoleUser() != nullptr;
}

// Whether `text` holds anything shaped like a key: 43 base64 characters
// and a "=".
bool HoldsKeyShapedText(const std::string& text) {
  return std::regex_search(text, std::regex("[A-Za-z0-9+/]{43}="));
}

// The log lines that RunCommand writes for a run of a tool that started:
// its output with every key hidden.
std::string RunnerLog(const RecordedRun& run) {
  return RunLog(run.command, std::to_string(static_cast<uint32_t>(run.result)),
                HideKeys(run.output));
}

class WireGuardToolsTest : public testing::Test, public TunnelFixture {
 protected:
  std::string FoundLine() const {
    return Line("Found wireguard.exe at: " +
                WideToUtf8(wireguard.Tool(L"wireguard.exe")));
  }

  // Writes the file and installs it, expecting `succeeds`; the log of the
  // installation.
  std::string Install(const WireGuardTools& tools, std::string& message,
                      bool succeeds = true) {
    LogCapture quiet;
    EXPECT_EQ(WriteTunnelConfig(ConfigFolder(), TakeFolderAt(ConfigFolder()),
                                TestTunnelParameters())
                  .path,
              ConfigPath());
    quiet.Finish();
    LogCapture capture;
    EXPECT_EQ(tools.InstallTunnelService(ConfigPath(), message), succeeds);
    return capture.Finish();
  }

  // Installs the tunnel, so that removal and show find it.
  void InstallBeforehand() {
    const TunnelSystem system = System();
    WireGuardTools tools(system);
    std::string ignored;
    Install(tools, ignored);
    ASSERT_TRUE(wireguard.IsInstalled(L"Keelhaven"));
    runs.clear();
    sleeper.clear();
  }

  // Removes what a case installed, quietly and without faults.
  void Uninstall(const WireGuardTools& tools) {
    wireguard.SetFaults("");
    LogCapture quiet;
    tools.UninstallTunnelService();
  }

  TempFolder layout_root_;
};

TEST_F(WireGuardToolsTest, FixedFoldersAreSearchedInOrder) {
  const std::wstring first = layout_root_.Join(L"Program Files\\WireGuard");
  const std::wstring second =
      layout_root_.Join(L"Program Files (x86)\\WireGuard");
  const struct {
    const char* name;
    bool in_first, in_second;
    std::wstring expected_folder;
  } cases[] = {
      {"only the (x86) folder", false, true, second},
      {"both folders", true, true, first},
      {"only the first folder", true, false, first},
      {"neither", false, false, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteTree(layout_root_.Join(L"Program Files"));
    DeleteTree(layout_root_.Join(L"Program Files (x86)"));
    CreateFolders(first);
    CreateFolders(second);
    if (c.in_first) ASSERT_TRUE(CopyStandinTools(first));
    if (c.in_second) ASSERT_TRUE(CopyStandinTools(second));
    const TunnelSystem system = System({first, second});
    const WireGuardTools tools(system);

    const bool found = !c.expected_folder.empty();
    const std::wstring wireguard_exe = c.expected_folder + L"\\wireguard.exe";
    LogCapture capture;
    EXPECT_EQ(tools.FindWireGuardExe(), found ? wireguard_exe : L"");
    EXPECT_EQ(tools.FindWgExe(), found ? c.expected_folder + L"\\wg.exe" : L"");
    // Only wireguard.exe's lookup is logged.
    EXPECT_EQ(capture.Finish(), found ? Line("Found wireguard.exe at: " +
                                             WideToUtf8(wireguard_exe))
                                      : Line(kNotFound));
  }
}

// A program found only on the search path runs with this process's rights,
// so it counts only when no other account can change it or any folder on
// its way from the drive root (the rule's own table is in
// path_chain_trust_test.cpp). Reading and running it may be open to all.
// The folders here are the running account's: another account's too when
// its token is split (under UAC, and always under Wine), which the
// unelevated programs of that user share.
TEST_F(WireGuardToolsTest,
       FallsBackToTheSearchPathOnlyForProgramsNoOneElseCanChange) {
  const struct {
    const char* name;
    bool open_programs, open_folder;
  } cases[] = {
      {"writable by the owner only", false, false},
      {"programs writable by everyone", true, false},
      {"folder writable by everyone", false, true},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring bin =
        layout_root_.Join(L"bin" + std::to_wstring(index++));
    ASSERT_TRUE(CopyStandinTools(bin));
    if (c.open_programs) {
      ASSERT_TRUE(OpenToEveryone(bin + L"\\wireguard.exe"));
      ASSERT_TRUE(OpenToEveryone(bin + L"\\wg.exe"));
    }
    if (c.open_folder) {
      ASSERT_TRUE(OpenToEveryone(bin));
    }
    ScopedEnvironmentVariable path(L"PATH",
                                   (empty_folder.path() + L";" + bin).c_str());
    const TunnelSystem system =
        System({layout_root_.Join(L"Program Files\\WireGuard")});
    const WireGuardTools tools(system);

    LogCapture capture;
    const std::wstring wireguard = tools.FindWireGuardExe();
    const std::wstring wg = tools.FindWgExe();
    // Each call searches and logs again.
    EXPECT_EQ(tools.FindWireGuardExe(), wireguard);
    const std::string log = capture.Finish();

    const bool trusted =
        OwnFoldersTrusted() && !c.open_programs && !c.open_folder;
    EXPECT_EQ(wireguard, trusted ? bin + L"\\wireguard.exe" : L"");
    EXPECT_EQ(wg, trusted ? bin + L"\\wg.exe" : L"");
    const auto ignored = [&bin](const char* name) {
      return Line(std::string("WARNING: Ignoring ") + name +
                  " on PATH that other accounts can change: " +
                  WideToUtf8(bin) + "\\" + name);
    };
    const std::string found = Line(
        "Found wireguard.exe on PATH: " + WideToUtf8(bin) + "\\wireguard.exe");
    const std::string missed = ignored("wireguard.exe") + Line(kNotFound);
    EXPECT_EQ(log,
              trusted ? found + found : missed + ignored("wg.exe") + missed);
  }
}

// The install folders are where this Windows keeps its programs, on
// whatever drive that is.
TEST(WireGuardFoldersTest, DefaultsAreTheProgramFilesFolders) {
  std::vector<std::wstring> expected;
  for (const wchar_t* variable : {L"ProgramFiles", L"ProgramFiles(x86)"}) {
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(variable, folder, MAX_PATH);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
    expected.push_back(std::wstring(folder) + L"\\WireGuard");
  }
  EXPECT_EQ(TunnelSystem().wireguard_folders, expected);
  if (RunningUnderWine()) {
    EXPECT_EQ(expected, (std::vector<std::wstring>{
                            L"C:\\Program Files\\WireGuard",
                            L"C:\\Program Files (x86)\\WireGuard"}));
  }
}

// The search result must fit a MAX_PATH buffer with its terminator: a path
// of 259 characters is found, one of 260 is too long and counts as missing.
TEST_F(WireGuardToolsTest, SearchHitOfMaxPathOrLongerIsAMiss) {
  const std::wstring base = layout_root_.path();
  const std::wstring file = L"\\wireguard.exe";
  for (size_t total : {size_t{259}, size_t{260}}) {
    SCOPED_TRACE(total);
    const std::wstring folder =
        base + L"\\" +
        std::wstring(total - base.size() - 1 - file.size(), L'w');
    ASSERT_EQ((folder + file).size(), total);
    ASSERT_TRUE(CopyStandinTools(folder, {L"wireguard.exe"}));
    ScopedEnvironmentVariable path(L"PATH", folder.c_str());
    const TunnelSystem system = System({});
    const WireGuardTools tools(system);

    LogCapture capture;
    const std::wstring found = tools.FindWireGuardExe();
    const std::string log = capture.Finish();
    DeleteTree(folder);
    if (total < MAX_PATH && OwnFoldersTrusted()) {
      EXPECT_EQ(found, folder + file);
      EXPECT_EQ(log, Line("Found wireguard.exe on PATH: " +
                          WideToUtf8(folder + file)));
    } else if (total < MAX_PATH) {
      EXPECT_EQ(found, L"");
      EXPECT_EQ(log, Line("WARNING: Ignoring wireguard.exe on PATH that "
                          "other accounts can change: " +
                          WideToUtf8(folder + file)) +
                         Line(kNotFound));
    } else {
      EXPECT_EQ(found, L"");
      EXPECT_EQ(log, Line(kNotFound));
    }
  }
}

TEST_F(WireGuardToolsTest, InstallRemovesNothingInstallsAndChecks) {
  const TunnelSystem system = System();
  WireGuardTools tools(system);
  std::string message = "untouched";
  const std::string log = Install(tools, message);

  EXPECT_EQ(message, "untouched");
  EXPECT_TRUE(wireguard.IsInstalled(L"Keelhaven"));
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].command, RemoveCommand());
  EXPECT_EQ(runs[0].timeout_ms, 15000u);
  EXPECT_EQ(runs[0].result, 1);
  EXPECT_EQ(runs[0].output, kNoService);
  EXPECT_EQ(runs[1].command, L"\"" + wireguard.Tool(L"wireguard.exe") +
                                 L"\" /installtunnelservice \"" + ConfigPath() +
                                 L"\"");
  EXPECT_EQ(runs[1].timeout_ms, 30000u);
  EXPECT_EQ(runs[1].result, 0);
  EXPECT_EQ(runs[2].command, ShowCommand());
  EXPECT_EQ(runs[2].timeout_ms, 10000u);
  EXPECT_EQ(runs[2].result, 0);
  EXPECT_NE(runs[2].output.find("peer: " + kTestServerKey), std::string::npos);
  // A failed removal is no reason to wait.
  EXPECT_EQ(sleeper.waits(), std::vector<uint32_t>{2000});
  EXPECT_EQ(log, FoundLine() + RunnerLog(runs[0]) + RunnerLog(runs[1]) +
                     Line("Tunnel service installed successfully via "
                          "wireguard.exe") +
                     RunnerLog(runs[2]) +
                     Line("=== wg show Keelhaven (post-install) ===") +
                     Line(HideKeys(runs[2].output)) +
                     Line("========================================") +
                     Line("SUCCESS: Peer configuration is active!"));
}

// The tools get the system's environment, not this process's: the user's
// WG_HIDE_KEYS=never, which makes wg.exe show the private key, doesn't
// reach them. What a tool prints that looks like a key never reaches the
// log, whatever the tool.
TEST_F(WireGuardToolsTest, ToolsGetNoneOfTheUsersSettingsAndNoKeyIsLogged) {
  const ScopedEnvironmentVariable never(L"WG_HIDE_KEYS", L"never");
  const struct {
    const char* name;
    std::string faults;
    std::string shown;  // in wg.exe's output
  } cases[] = {
      {"wg.exe as installed", "", "  private key: (hidden)\r\n"},
      {"wg.exe that prints the key",
       "show exit=0 stdout=" +
           ToHex("private key: " + kTestPrivateKey + "\r\n") + "\n",
       kTestPrivateKey},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    wireguard.SetFaults(c.faults);
    runs.clear();
    const TunnelSystem system = System();
    const WireGuardTools tools(system);
    std::string message;
    const std::string log = Install(tools, message);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_NE(runs[2].output.find(c.shown), std::string::npos);
    EXPECT_NE(log.find("=== wg show Keelhaven (post-install) ==="),
              std::string::npos);
    EXPECT_FALSE(HoldsKeyShapedText(log)) << log;
    Uninstall(tools);
  }
}

TEST_F(WireGuardToolsTest, InstallCleansUpAnEarlierServiceAndWaits) {
  InstallBeforehand();
  const TunnelSystem system = System();
  WireGuardTools tools(system);
  std::string message;
  const std::string log = Install(tools, message);

  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].result, 0);
  EXPECT_EQ(runs[1].result, 0);
  EXPECT_EQ(sleeper.waits(), (std::vector<uint32_t>{2000, 2000}));
  EXPECT_EQ(
      log.substr(0, log.find(Line("Running: " + WideToUtf8(runs[1].command)))),
      FoundLine() + RunnerLog(runs[0]) +
          Line("Cleaned up existing Keelhaven tunnel service"));
}

TEST_F(WireGuardToolsTest, InstallFailureFillsTheMessage) {
  const std::string prefix =
      "wireguard.exe /installtunnelservice failed (exit code: ";
  const struct {
    const char* name;
    bool installed_before;
    std::string faults;
    std::string message;
  } cases[] = {
      {"exit 1, no output", false, "install exit=1\n", prefix + "1)"},
      {"exit 3 with output", false,
       "install exit=3 stdout=" + ToHex("bad\r\n") +
           " stderr=" + ToHex("worse") + "\n",
       prefix + "3) " + kEmDash + " bad\r\nworse"},
      // The removal fails, so the earlier tunnel is still in the way.
      {"already installed", true, "uninstall exit=1\n",
       prefix + "1) " + kEmDash +
           " [Error:  Tunnel already installed and running]\r\n"},
      // Neither the log nor the message quotes a key.
      {"an error that quotes the key", false,
       "install exit=1 stderr=" +
           ToHex("[Error:  Bad key " + kTestPrivateKey + "]\r\n") + "\n",
       prefix + "1) " + kEmDash + " [Error:  Bad key (hidden)]\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.installed_before) InstallBeforehand();
    wireguard.SetFaults(c.faults);
    runs.clear();
    const TunnelSystem system = System();
    WireGuardTools tools(system);
    std::string message = "earlier text";
    const std::string log = Install(tools, message, false);

    EXPECT_EQ(message, c.message);
    ASSERT_EQ(runs.size(), 2u);  // no check after a failure
    EXPECT_NE(runs[0].result, 0);
    EXPECT_EQ(log, FoundLine() + RunnerLog(runs[0]) + RunnerLog(runs[1]) +
                       Line("ERROR: " + c.message));
    EXPECT_FALSE(HoldsKeyShapedText(log));
    EXPECT_TRUE(sleeper.waits().empty());
    EXPECT_EQ(wireguard.IsInstalled(L"Keelhaven"), c.installed_before);
    Uninstall(tools);
  }
}

// The hint follows only a start failure; a time-out is a failure like any
// other. Both results show as unsigned numbers in the message.
TEST_F(WireGuardToolsTest, OnlyAStartFailureGetsAHint) {
  const std::wstring broken = layout_root_.Join(L"WireGuard");
  ASSERT_TRUE(CreateFolders(broken));
  ASSERT_TRUE(WriteWholeFile(broken + L"\\wireguard.exe", "not a program\n"));
  const struct {
    const char* name;
    std::wstring folder;
    bool time_out;
    const char* code;
    bool hint;
  } cases[] = {
      {"wireguard.exe cannot start", broken, false, "4294967295", true},
      {"installation timed out", wireguard.install_folder(), true, "4294967294",
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake_run = nullptr;
    if (c.time_out) {
      // The limit is fixed at 30 s: the runner's result is faked for the
      // installation only.
      fake_run = [](const std::wstring& command,
                    std::string*) -> std::optional<int32_t> {
        if (command.find(L"/installtunnelservice") == std::wstring::npos) {
          return std::nullopt;
        }
        return kRunTimedOut;
      };
    }
    runs.clear();
    const TunnelSystem system = System({c.folder});
    WireGuardTools tools(system);
    std::string message;
    const std::vector<std::string> messages =
        NativeMessages(Install(tools, message, false));

    const std::string expected =
        std::string("wireguard.exe /installtunnelservice failed (exit code: ") +
        c.code + ")";
    EXPECT_EQ(message, expected);
    std::vector<std::string> tail = {"ERROR: " + expected};
    if (c.hint) {
      tail.push_back(
          "HINT: Could not start wireguard.exe. Check that the path is "
          "correct and the app is running as Administrator.");
    }
    EXPECT_EQ(Last(messages, tail.size()), tail);
    ASSERT_EQ(runs.size(), 2u);
  }
}

TEST_F(WireGuardToolsTest, PostInstallCheckOnlyReports) {
  const std::string note =
      std::string(" ") + kEmDash + " tunnel may still be starting";
  const std::string warning =
      "WARNING: wg show did not show peer info. The tunnel may still be "
      "initializing.";
  const struct {
    const char* name;
    std::string show_fault;         // empty: no wg.exe, no check
    std::vector<std::string> tail;  // log lines after the check's runner lines
  } cases[] = {
      {"show fails", "show exit=1\n", {"Note: wg show returned code 1" + note}},
      {"show prints nothing",
       "show exit=0\n",
       {"Note: wg show returned code 0" + note}},
      {"endpoint without peer",
       "show exit=0 stdout=" + ToHex("  endpoint: 203.0.113.7:51820") + "\n",
       {"=== wg show Keelhaven (post-install) ===",
        "  endpoint: 203.0.113.7:51820",
        "========================================",
        "SUCCESS: Peer configuration is active!"}},
      {"no peer lines, other case",
       "show exit=0 stdout=" + ToHex("Peer: x\nEndpoint: y") + "\n",
       {"=== wg show Keelhaven (post-install) ===", "Peer: x",
        "========================================", warning}},
      {"no wg.exe",
       "",
       {"Tunnel service installed successfully via wireguard.exe"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    wireguard.SetFaults(c.show_fault);
    if (c.show_fault.empty()) wireguard.RemoveTool(L"wg.exe");
    runs.clear();
    sleeper.clear();
    const TunnelSystem system = System();
    WireGuardTools tools(system);
    std::string message = "untouched";
    const std::vector<std::string> messages =
        NativeMessages(Install(tools, message));

    EXPECT_EQ(message, "untouched");
    EXPECT_EQ(sleeper.waits(), std::vector<uint32_t>{2000});
    ASSERT_EQ(runs.size(), c.show_fault.empty() ? 2u : 3u);
    EXPECT_EQ(Last(messages, c.tail.size()), c.tail);
    Uninstall(tools);
  }
}

TEST_F(WireGuardToolsTest, InstallWithoutWireGuardRunsNothing) {
  const TunnelSystem system =
      System({layout_root_.Join(L"Program Files\\WireGuard")});
  const WireGuardTools tools(system);
  std::string message = "earlier text";

  LogCapture capture;
  EXPECT_FALSE(
      tools.InstallTunnelService(L"C:\\nowhere\\Keelhaven.conf", message));
  EXPECT_EQ(capture.Finish(),
            Line(kNotFound) + Line(std::string("ERROR: ") + kNotInstalled));
  EXPECT_EQ(message, kNotInstalled);
  EXPECT_TRUE(runs.empty());
  EXPECT_TRUE(sleeper.waits().empty());
}

// Removal gives nothing when the tunnel is gone, else the doubt. A failed
// removal is checked with wg.exe's show, when there is a wg.exe.
TEST_F(WireGuardToolsTest, UninstallRemovesOrReportsTheDoubt) {
  const auto returned = [](const char* code) {
    return Line(std::string("wireguard.exe /uninstalltunnelservice returned ") +
                code);
  };
  const std::string no_service = Line(std::string("Output: ") + kNoService);
  const struct {
    const char* name;
    bool installed, wg, wireguard;
    const char* faults;
    std::string doubt;  // empty: none
    size_t runs;
    std::string after_removal, after_check;  // log lines
  } cases[] = {
      {"installed", true, true, true, "", "", 1,
       Line("Tunnel service uninstalled successfully"), ""},
      {"missing", false, true, true, "", "", 2, returned("1") + no_service,
       Line("Tunnel is confirmed gone (wg show returned error)")},
      {"removal fails, still shown", true, true, true, "uninstall exit=5\n",
       kPartial, 2, returned("5"), ""},
      {"missing, no wg.exe to check", false, false, true, "", kPartial, 1,
       returned("1") + no_service, ""},
      {"no wireguard.exe", false, true, false, "",
       "WireGuard for Windows is not installed", 0,
       Line("WARNING: WireGuard for Windows is not installed"), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.installed) InstallBeforehand();
    wireguard.SetFaults(c.faults);
    if (!c.wg) wireguard.RemoveTool(L"wg.exe");
    if (!c.wireguard) wireguard.RemoveTool(L"wireguard.exe");
    runs.clear();
    const TunnelSystem system = System();
    WireGuardTools tools(system);
    LogCapture capture;
    const std::optional<std::string> doubt = tools.UninstallTunnelService();
    const std::string log = capture.Finish();

    EXPECT_EQ(doubt.value_or(""), c.doubt);
    std::string expected = c.wireguard ? FoundLine() : Line(kNotFound);
    if (!runs.empty()) {
      EXPECT_EQ(runs[0].command, RemoveCommand());
      EXPECT_EQ(runs[0].timeout_ms, 15000u);
      expected += RunnerLog(runs[0]);
    }
    expected += c.after_removal;
    if (runs.size() > 1) {
      EXPECT_EQ(runs[1].command, ShowCommand());
      EXPECT_EQ(runs[1].timeout_ms, 5000u);
      expected += RunnerLog(runs[1]);
    }
    expected += c.after_check;
    EXPECT_EQ(log, expected);
    EXPECT_EQ(runs.size(), c.runs);
    EXPECT_EQ(wireguard.IsInstalled(L"Keelhaven"), c.installed && *c.faults);
    EXPECT_TRUE(sleeper.waits().empty());
    if (c.installed && *c.faults) Uninstall(tools);
    CopyStandinTools(wireguard.install_folder());
  }
}

}  // namespace
