// How the tunnel follows the host window: the leftover check when the
// window is created, and the teardown on every way out (the native window
// destroyed, the window object destroyed, the session's end, the console
// closed).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "standins/wireguard/tunnel_service.h"
#include "tests/support/files.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tunnel_fixture.h"
#include "tests/support/wine.h"
#include "util/native_log.h"

namespace {

using flutter::EncodableValue;

constexpr char kNotDetected[] =
    "WARNING: WireGuard for Windows not detected. VPN functionality will not "
    "work until it is installed.";
constexpr char kOrphan[] =
    "WARNING: Found orphaned Keelhaven tunnel, cleaning up...";
constexpr char kMarked[] =
    "WARNING: The Keelhaven tunnel service is marked for deletion and still "
    "held open by another program; it goes when that program lets go of it "
    "(or after a restart). Until then no tunnel can be installed.";
constexpr char kStoppedService[] =
    "WARNING: Found Keelhaven tunnel service that is not running, removing "
    "it...";

// How a case of the way-out table got its tunnel, read its counters and
// ended.
enum class Install { kNone, kOk, kExitOne, kTimedOut };
enum class Stats { kOk, kFailed };
enum class Exit { kClose, kDestructor, kSessionEnd, kConsoleClose };

class LifecycleHooksTest : public testing::Test, public TunnelFixture {
 protected:
  LifecycleHooksTest() { service_state = ServiceState::kAbsent; }

  // Runs the creation hook; its log messages.
  std::vector<std::string> RunCreationHook(TunnelController& controller) {
    LogCapture capture;
    controller.OnWindowCreated();
    return NativeMessages(capture.Finish());
  }

  // The run that `install` describes: the install command runs for real
  // (the service manager then has the service) and is said to have ended
  // as described.
  void FakeInstall(Install install) {
    fake_run = [this, install](const std::wstring& command,
                               std::string* output) -> std::optional<int32_t> {
      if (install == Install::kOk ||
          command.find(L"/installtunnelservice") == std::wstring::npos) {
        return std::nullopt;
      }
      RunCommand(command, output, 30000);
      return install == Install::kExitOne ? 1 : kRunTimedOut;
    };
  }

  void ExpectWayOutLeavesNothing(Install install, Stats stats, Exit exit) {
    wireguard.SetFaults(stats == Stats::kFailed ? "dump exit=1\n" : "");
    FakeInstall(install);
    TunnelController controller(System());
    {
      LogCapture quiet;
      if (install != Install::kNone) {
        const MethodReply reply = CallTunnelMethod(
            controller, "establishTunnel",
            std::make_unique<EncodableValue>(EstablishParameters()));
        EXPECT_EQ(reply.succeeded(), install == Install::kOk);
      }
      CallTunnelMethod(controller, "getTunnelStats");
    }
    EXPECT_EQ(controller.tunnel_may_be_up(), install == Install::kOk);
    const size_t runs_before = runs.size();
    removals_with_key = 0;
    service_manager_removals.clear();

    LogCapture capture;
    switch (exit) {
      case Exit::kClose:
        controller.OnWindowDestroyed();
        break;
      case Exit::kDestructor:
        controller.OnWindowDestructing();
        break;
      case Exit::kSessionEnd:
        controller.OnSessionEnd();
        break;
      case Exit::kConsoleClose:
        controller.OnSessionEnd();
        controller.OnWindowDestroyed();
        break;
    }
    const std::vector<std::string> messages = NativeMessages(capture.Finish());
    EXPECT_FALSE(FileExists(ConfigPath()));
    EXPECT_FALSE(TunnelServiceRegistered(L"Keelhaven"));
    EXPECT_FALSE(controller.tunnel_may_be_up());
    EXPECT_EQ(removals_with_key, 0);
    const bool was_up = install == Install::kOk;
    const bool without_programs =
        exit == Exit::kSessionEnd || exit == Exit::kConsoleClose;
    // Once, within about two seconds, and only when something may be up.
    EXPECT_EQ(service_manager_removals, was_up && without_programs
                                            ? std::vector<uint32_t>{2000}
                                            : std::vector<uint32_t>());
    if (!was_up || without_programs) {
      EXPECT_EQ(runs.size(), runs_before);
    }
    if (!was_up) {
      // Nothing was up: nothing to say.
      EXPECT_EQ(messages, std::vector<std::string>());
      return;
    }
    const char* first = exit == Exit::kClose
                            ? "OnDestroy: Tearing down active tunnel"
                        : exit == Exit::kDestructor
                            ? "Destructor: cleaning up active tunnel"
                            : "Session ending: removing the tunnel without "
                              "starting programs";
    EXPECT_EQ(First(messages, 2),
              (std::vector<std::string>{
                  first, "Config file deleted: " + WideToUtf8(ConfigPath())}));
  }
};

TEST_F(LifecycleHooksTest, CreationLooksForALeftoverTunnelOnce) {
  struct Case {
    const char* name;
    int32_t result;
    const char* output;
    ServiceState service;
    std::vector<const char*> warnings;  // empty: nothing to remove
    bool removes = true;
  };
  const Case cases[] = {
      {"interface shown",
       0,
       "interface: Keelhaven\n",
       ServiceState::kActive,
       {kOrphan}},
      {"nothing printed", 0, "", ServiceState::kAbsent, {}},
      {"no such interface",
       1,
       "Unable to access interface\n",
       ServiceState::kAbsent,
       {}},
      {"failed to start", -1, "", ServiceState::kAbsent, {}},
      {"timed out", -2, "interface: Keelhaven\n", ServiceState::kAbsent, {}},
      {"service manager unreadable", 1, "", ServiceState::kUnknown, {}},
      // Installed but stopped: no interface, yet a service.
      {"service without interface",
       1,
       "",
       ServiceState::kStopped,
       {kStoppedService}},
      // Deleted already and held open elsewhere: uninstalling again can't
      // help.
      {"marked for deletion",
       1,
       "",
       ServiceState::kMarkedForDeletion,
       {kMarked},
       false},
      {"marked for deletion, interface shown",
       0,
       "interface: Keelhaven\n",
       ServiceState::kMarkedForDeletion,
       {kMarked, kOrphan},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    runs.clear();
    AnswerEveryRun(c.result, c.output);
    service_state = c.service;
    TunnelController controller(System());
    const std::vector<std::string> messages = RunCreationHook(controller);

    std::vector<std::string> expected = {
        "Found wireguard.exe at: " +
            WideToUtf8(wireguard.Tool(L"wireguard.exe")),
        "WireGuard for Windows found: " +
            WideToUtf8(wireguard.Tool(L"wireguard.exe")),
    };
    expected.insert(expected.end(), c.warnings.begin(), c.warnings.end());
    EXPECT_EQ(First(messages, expected.size()), expected);
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs[0].command, ShowCommand());
    EXPECT_EQ(runs[0].timeout_ms, 5000u);
    if (c.removes && !c.warnings.empty()) {
      // One removal follows, never a second; the flags of the new window
      // stay down.
      ASSERT_GE(runs.size(), 2u);
      EXPECT_EQ(runs[1].command, RemoveCommand());
      EXPECT_EQ(std::count(messages.begin(), messages.end(), kStoppedService) +
                    std::count(messages.begin(), messages.end(), kOrphan),
                1);
    } else {
      EXPECT_EQ(messages.size(), expected.size());
      EXPECT_EQ(runs.size(), 1u);
    }
    EXPECT_FALSE(controller.tunnel_active());
    EXPECT_FALSE(controller.tunnel_may_be_up());
    EXPECT_TRUE(controller.config_path().empty());
  }
}

// A service still stopping is waited for, a bounded while, before anything
// is decided.
TEST_F(LifecycleHooksTest, CreationWaitsForAStoppingService) {
  AnswerEveryRun(1, "");
  for (const int stopping_reads : {3, 100}) {
    SCOPED_TRACE(stopping_reads);
    runs.clear();
    sleeper.clear();
    int reads = 0;
    TunnelSystem system = System();
    system.tunnel_service_state = [&reads, stopping_reads] {
      return ++reads <= stopping_reads ? ServiceState::kStopping
                                       : ServiceState::kStopped;
    };
    TunnelController controller(system);
    const std::vector<std::string> messages = RunCreationHook(controller);
    const bool stopped = stopping_reads < 21;
    EXPECT_EQ(sleeper.waits(),
              std::vector<uint32_t>(stopped ? stopping_reads : 20, 250));
    EXPECT_TRUE(HasMessageStartingWith(
        messages, "Keelhaven tunnel service is stopping, waiting for it..."));
    EXPECT_EQ(HasMessageStartingWith(
                  messages,
                  "WARNING: Keelhaven tunnel service is still stopping after "
                  "5000 ms"),
              !stopped);
    // Then removed as a service left by an earlier run, stopped or not.
    EXPECT_TRUE(HasMessageStartingWith(messages, kStoppedService));
  }
}

// The creation hook deletes a key file an earlier run left, relative to
// the folder it holds, never through a link; where that folder is refused
// (a link in its place, which Wine follows) nothing in it or behind it is
// deleted.
TEST_F(LifecycleHooksTest, CreationDeletesALeftoverKeyOnlyInTheHeldFolder) {
  AnswerEveryRun(1, "");
  const std::string folder = WideToUtf8(ConfigFolder());
  const struct {
    const char* name;
    bool link;         // a link to a folder with a key, else the folder
    bool key;          // a key file in it, else a folder of that name
    std::string line;  // after the look for WireGuard; empty: none
    bool key_stays;
  } cases[] = {
      {"a key in the folder", false, true,
       "WARNING: Deleted configuration file left by an earlier run: " + folder +
           "\\Keelhaven.conf",
       false},
      {"a folder in the key's place", false, false,
       "WARNING: Could not delete configuration file left by an earlier run "
       "(error: ",
       true},
      {"a link in the folder's place", true, true,
       "ERROR: Folder not trusted, nothing is written there: " + folder +
           " (it is a link)",
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder elsewhere;
    DeleteTree(ConfigFolder());
    std::wstring key = ConfigPath();
    if (c.link) {
      key = elsewhere.Join(L"Keelhaven.conf");
      // Windows opens a real link as itself and moves it aside (the folder
      // trust tests); Wine follows it, and the folder is refused.
      if (!RunningUnderWine() ||
          !MakeSymbolicLink(ConfigFolder(), elsewhere.path())) {
        continue;
      }
    } else {
      ASSERT_TRUE(TakeConfigFolder());
    }
    ASSERT_TRUE(c.key ? WriteWholeFile(key, "key")
                      : ::CreateDirectoryW(key.c_str(), nullptr));
    TunnelController controller(System());
    const std::vector<std::string> messages = RunCreationHook(controller);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2].compare(0, c.line.size(), c.line), 0) << messages[2];
    EXPECT_EQ(FileExists(key), c.key_stays);
    if (c.key && c.key_stays) {
      EXPECT_EQ(ReadWholeFile(key), "key");
    }
    DeleteTree(ConfigFolder());
  }
}

// Without wireguard.exe the creation hook warns; with wg.exe alone it still
// checks for a leftover tunnel.
TEST_F(LifecycleHooksTest, CreationWithoutWireGuardWarns) {
  wireguard.RemoveTool(L"wireguard.exe");
  AnswerEveryRun(1, "");
  const std::vector<std::string> expected = {
      "ERROR: wireguard.exe not found. Is WireGuard for Windows installed?",
      kNotDetected,
  };
  TunnelController controller(System());
  for (const bool wg : {true, false}) {
    SCOPED_TRACE(wg ? "wg.exe alone" : "no tools");
    if (!wg) wireguard.RemoveTool(L"wg.exe");
    runs.clear();
    EXPECT_EQ(RunCreationHook(controller), expected);
    ASSERT_EQ(runs.size(), wg ? 1u : 0u);
    if (wg) EXPECT_EQ(runs[0].command, ShowCommand());
  }
}

const char* Name(Install install) {
  static const char* const kNames[] = {"no tunnel", "installed",
                                       "install exit 1", "install timed out"};
  return kNames[static_cast<int>(install)];
}

const char* Name(Exit exit) {
  static const char* const kNames[] = {"window closed", "object destroyed",
                                       "session end", "console closed"};
  return kNames[static_cast<int>(exit)];
}

// Every way out leaves neither the key file nor the service, whatever came
// before: an install that failed after the service manager had the service,
// a statistics read that failed. The key goes before the service; at the
// session's end (and when the console closes, after which the window
// closes too) no program is started.
TEST_F(LifecycleHooksTest, EveryWayOutLeavesNoFileAndNoService) {
  service_state.reset();  // the machine's service manager, as the tools use
  for (const Install install :
       {Install::kNone, Install::kOk, Install::kExitOne, Install::kTimedOut}) {
    for (const Stats stats : {Stats::kOk, Stats::kFailed}) {
      if (install == Install::kNone && stats == Stats::kFailed) continue;
      for (const Exit exit : {Exit::kClose, Exit::kDestructor,
                              Exit::kSessionEnd, Exit::kConsoleClose}) {
        SCOPED_TRACE(std::string(Name(install)) +
                     (stats == Stats::kFailed ? ", stats failed, " : ", ") +
                     Name(exit));
        ExpectWayOutLeavesNothing(install, stats, exit);
      }
    }
  }
}

}  // namespace
