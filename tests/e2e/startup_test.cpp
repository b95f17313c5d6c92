// What the host does at start before the user does anything: report
// WireGuard, remove a tunnel an earlier run left behind, and fail cleanly
// when the engine refuses its view.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "standins/wireguard/tunnel_service.h"
#include "tests/e2e/host_test.h"
#include "tests/support/file_security.h"
#include "tests/support/files.h"
#include "tests/support/log_capture.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wine.h"
#include "util/native_log.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

// Deletes the link at `path` as it goes. Declared after the folder the
// link points to, it goes first: under Wine a link whose target is gone
// can't be found, nor deleted.
class LinkRemoval {
 public:
  explicit LinkRemoval(std::wstring path) : path_(std::move(path)) {}
  ~LinkRemoval() { DeleteTree(path_); }

 private:
  std::wstring path_;
};

constexpr char kNoTraffic[] =
    "000d02"
    "07096279746573446f776e040000000000000000"
    "070762797465735570040000000000000000";

using HostStartTest = HostTest;

TEST_F(HostStartTest, WithoutWireGuardWarnsAndStillServesTheChannel) {
  // A tunnel of an earlier run, but no tools to find it with: nothing may
  // look for it, let alone remove it.
  ASSERT_NO_FATAL_FAILURE(InstallLeftoverTunnel());
  HostOptions options;
  options.script = SendLine("establishTunnel", TunnelParameters()) +
                   SendLine("getTunnelStats") + "close\n";
  const HostRun run = RunHost(options);
  const std::string message =
      "WireGuard for Windows is not installed. Please install it from "
      "https://www.wireguard.com/install/";
  const std::vector<std::string> replies = {
      "01" + StringHex("WIREGUARD_NOT_INSTALLED") + StringHex(message) + "00",
      kNoTraffic,
  };
  EXPECT_EQ(run.Replies(), replies);

  const std::vector<std::string> messages = run.NativeMessages();
  const std::vector<std::string> start(
      messages.begin(),
      messages.begin() + std::min<size_t>(3, messages.size()));
  const std::vector<std::string> expected_start = {
      "MethodChannel registered: com.daltic.halberdix/wireguard",
      "ERROR: wireguard.exe not found. Is WireGuard for Windows installed?",
      "WARNING: WireGuard for Windows not detected. VPN functionality will "
      "not work until it is installed.",
  };
  EXPECT_EQ(start, expected_start) << run.process.err;
  EXPECT_FALSE(HasMessageStartingWith(messages, "WARNING: Found orphaned"));
  EXPECT_TRUE(TunnelServiceInstalled());
}

TEST_F(HostStartTest, LeftoverTunnelIsRemovedAtStartOrByTheCleanupRun) {
  // As an earlier run leaves it: installed by the tool alone, or by a host
  // that was killed with the tunnel up (its key file left too). The next
  // start removes it; so does the installer's clean-up run, which also
  // removes the configuration folder with the log, and never starts the
  // engine (no transcript) nor opens a window; with WireGuard for Windows
  // gone meanwhile, through the service manager.
  struct Row {
    const char* name;
    bool killed_host;
    bool cleanup_switch;
    bool wireguard_gone;
  };
  for (const Row& row :
       {Row{"tunnel installed", false, false, false},
        Row{"host killed", true, false, false},
        Row{"host killed, clean-up run", true, true, false},
        Row{"host killed, WireGuard gone, clean-up run", true, true, true}}) {
    SCOPED_TRACE(row.name);
    DeleteConfigFolders();
    ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
    if (row.killed_host) {
      ASSERT_NO_FATAL_FAILURE(KillHostWithTunnelUp());
    } else {
      ASSERT_NO_FATAL_FAILURE(InstallLeftoverTunnel());
    }
    if (row.wireguard_gone) DeleteTree(kWireGuardFolder);
    const std::wstring folder =
        ConfigFile().substr(0, ConfigFile().rfind(L'\\'));
    HostOptions options;
    options.script = SendLine("getTunnelStats") + "close\n";
    // A folder an earlier run moved aside, which the clean-up run removes
    // too, and one that only looks alike, which it leaves.
    const std::wstring moved_aside =
        folder + L".untrusted-0123456789abcdef0123456789ABCDEF";
    const std::wstring look_alike = folder + L".untrusted-not-ours";
    if (row.cleanup_switch) {
      // The killed host's log is there.
      ASSERT_TRUE(FileExists(folder + L"\\keelhaven.log"));
      options.arguments = L"--uninstall-cleanup";
      for (const std::wstring& made : {moved_aside, look_alike}) {
        ASSERT_TRUE(CreateFolders(made));
        ASSERT_TRUE(WriteWholeFile(made + L"\\planted", "planted"));
      }
    }
    const HostRun run = RunHost(options);
    if (row.cleanup_switch) {
      EXPECT_FALSE(FileExists(moved_aside));
      EXPECT_TRUE(FileExists(look_alike + L"\\planted"));
      DeleteTree(look_alike);
    }
    const std::vector<std::string> messages = run.NativeMessages();
    EXPECT_EQ(HasMessageStartingWith(
                  messages,
                  "WARNING: Found orphaned Keelhaven tunnel, cleaning up..."),
              !row.cleanup_switch)
        << run.process.err;
    EXPECT_EQ(HasMessageStartingWith(messages,
                                     "Tunnel service uninstalled successfully"),
              !row.wireguard_gone);
    EXPECT_EQ(HasMessageStartingWith(
                  messages, "Removing the tunnel through the service manager"),
              row.wireguard_gone);
    // Removed once: the service manager has nothing left to find.
    EXPECT_FALSE(HasMessageStartingWith(messages, "WARNING: Found Keelhaven"));
    // (The tools' own record goes with WireGuard for Windows.)
    if (!row.wireguard_gone) EXPECT_FALSE(TunnelServiceInstalled());
    EXPECT_FALSE(TunnelServiceRegistered());
    // The killed host's folder, with its key: moved aside under Wine,
    // where it can't be trusted as it stands, and the key in it deleted.
    EXPECT_EQ(HasMessageStartingWith(
                  messages,
                  "WARNING: Folder could not be trusted as it was; moved it "
                  "aside to C:\\ProgramData\\Keelhaven.untrusted-"),
              row.killed_host && !row.cleanup_switch);
    EXPECT_FALSE(FileExists(ConfigFile()));
    const std::vector<std::wstring> moved = MovedConfigFolders();
    EXPECT_EQ(moved.size(), row.killed_host && !row.cleanup_switch ? 1u : 0u);
    for (const std::wstring& moved_folder : moved) {
      EXPECT_FALSE(FileExists(moved_folder + L"\\Keelhaven.conf"));
    }
    EXPECT_FALSE(HasMessageStartingWith(messages, "WARNING: wg show failed"));
    EXPECT_FALSE(HasMessageStartingWith(messages, "OnDestroy:"));
    if (row.cleanup_switch) {
      EXPECT_TRUE(run.transcript.empty());
      EXPECT_FALSE(FileExists(folder));
      ASSERT_FALSE(messages.empty());
      EXPECT_EQ(messages.back(), "Clean-up: exit code 0 (nothing left)");
    } else {
      // The new window starts with no tunnel of its own: the counters are
      // not even asked for, and closing takes nothing down.
      EXPECT_EQ(run.Replies(), std::vector<std::string>{kNoTraffic});
    }
  }
}

// A service left installed but never up is found in the service manager
// only, and removed. One deleted already but still held open somewhere is
// reported and left alone: another uninstall can't remove it.
TEST_F(HostStartTest, LeftoverServiceIsRemovedAtStartUnlessMarkedForDeletion) {
  const std::vector<std::string> stopped_removal = {
      "WARNING: Found Keelhaven tunnel service that is not running, removing "
      "it...",
      "Found wireguard.exe at: C:\\Program Files\\WireGuard\\wireguard.exe",
      "Running: \"C:\\Program Files\\WireGuard\\wireguard.exe\" "
      "/uninstalltunnelservice Keelhaven",
      "Process exited with code: 0",
      "Tunnel service uninstalled successfully",
  };
  for (const bool marked : {false, true}) {
    SCOPED_TRACE(marked ? "marked for deletion" : "stopped");
    // The earlier row's host left its folder, which a new run moves aside.
    DeleteConfigFolders();
    ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
    ASSERT_NO_FATAL_FAILURE(InstallLeftoverTunnel(/*comes_up=*/false));
    UniqueServiceHandle holder;
    if (marked) {
      const UniqueServiceHandle manager(
          ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
      holder.reset(::OpenServiceW(manager.get(), L"WireGuardTunnel$Keelhaven",
                                  SERVICE_QUERY_STATUS));
      ASSERT_TRUE(holder.valid());
      ASSERT_TRUE(DeleteTunnelService(L"Keelhaven"));
    }
    HostOptions options;
    options.script = "close\n";
    const HostRun run = RunHost(options);
    std::vector<std::string> expected = StartMessagesWithoutInterface();
    if (marked) {
      expected.insert(
          expected.begin() + 3,
          "WARNING: The Keelhaven tunnel service is marked for deletion and "
          "still held open by another program; it goes when that program "
          "lets go of it (or after a restart). Until then no tunnel can be "
          "installed.");
    } else {
      expected.insert(expected.end(), stopped_removal.begin(),
                      stopped_removal.end());
    }
    EXPECT_EQ(run.NativeMessages(), expected) << run.process.err;
    holder.reset();
    EXPECT_FALSE(TunnelServiceRegistered());
  }
}

// A key file left by a run that was killed. Under Wine its folder can't be
// trusted as it stands, so it is moved aside at start; the key in it is
// deleted, and nothing else there is touched. (On Windows a folder only
// SYSTEM and Administrators own and reach stays, and the leftover check
// deletes the key in it.)
TEST_F(HostStartTest, LeftoverKeyFileIsDeletedAtStart) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  const std::string key =
      "PrivateKey = BSlvu3X/BjlZ9YjjvI5Nl0NdzjbDtUs7Js49QgaP47c=";
  ASSERT_TRUE(CreateFolders(ConfigFolder()));
  ASSERT_TRUE(WriteWholeFile(ConfigFile(), "[Interface]\r\n" + key + "\r\n"));
  ASSERT_TRUE(WriteWholeFile(ConfigFolder() + L"\\planted", "planted"));
  HostOptions options;
  options.script = "close\n";
  const HostRun run = RunHost(options);
  const std::vector<std::wstring> moved = MovedConfigFolders();
  ASSERT_EQ(moved.size(), 1u);
  const std::vector<std::string> messages = run.NativeMessages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front(),
            "WARNING: Folder could not be trusted as it was; moved it aside "
            "to " +
                WideToUtf8(moved[0]) +
                " and made a new one: C:\\ProgramData\\Keelhaven")
      << run.process.err;
  EXPECT_FALSE(FileExists(ConfigFile()));
  EXPECT_FALSE(FileExists(moved[0] + L"\\Keelhaven.conf"));
  EXPECT_EQ(ReadWholeFile(moved[0] + L"\\planted"), "planted");
  EXPECT_FALSE(FileExists(ConfigFolder() + L"\\planted"));
  EXPECT_EQ(run.process.err.find(key), std::string::npos);
}

// A configuration folder someone opened to everyone and planted a file in.
// Under Wine no existing folder is trusted as it stands: it is moved aside
// at start, and the tunnel comes up from a new folder that holds nothing of
// theirs, with the run's log in it.
TEST_F(HostStartTest, FolderOpenToEveryoneIsMovedAsideAndANewOneServes) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  ASSERT_TRUE(CreateFolders(ConfigFolder()));
  ASSERT_TRUE(WriteWholeFile(ConfigFolder() + L"\\planted", "planted"));
  ASSERT_TRUE(OpenToEveryone(ConfigFolder()));
  HostOptions options;
  options.script = SendLine("establishTunnel", TunnelParameters()) + "close\n";
  const HostRun run = RunHost(options);
  EXPECT_EQ(run.Replies(), std::vector<std::string>{"0000"}) << run.process.err;
  EXPECT_TRUE(HasMessageStartingWith(
      run.NativeMessages(),
      "Tunnel established successfully via WireGuard CLI"));
  const std::vector<std::wstring> moved = MovedConfigFolders();
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(ReadWholeFile(moved[0] + L"\\planted"), "planted");
  EXPECT_FALSE(FileExists(moved[0] + L"\\keelhaven.log"));
  EXPECT_FALSE(FileExists(ConfigFolder() + L"\\planted"));
  EXPECT_TRUE(FileExists(ConfigFolder() + L"\\keelhaven.log"));
  ExpectClosedToEveryoneAndUsers(ConfigFolder());
}

// A link in the configuration folder's place, to a folder that holds a key
// file and a full log (Wine follows a Unix symbolic link at any component,
// as Windows would a junction or mount point). Nothing behind it is
// deleted, written or rotated, at start or by a request, and no tunnel
// comes up from there.
TEST_F(HostStartTest, LinkInTheFoldersPlaceHasNothingBehindItTouched) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  TempFolder elsewhere;
  const std::wstring key_file = elsewhere.Join(L"Keelhaven.conf");
  const std::wstring log_file = elsewhere.Join(L"keelhaven.log");
  const std::string key =
      "[Interface]\r\nPrivateKey = "
      "AqsEnrntsVcx8jIqXCclDc/28MzyoHwusiPAA47Mnac=\r\n";
  const std::string log(2 * 1024 * 1024, 'l');
  ASSERT_TRUE(WriteWholeFile(key_file, key));
  ASSERT_TRUE(WriteWholeFile(log_file, log));
  const LinkRemoval link_removal(ConfigFolder());
  ASSERT_TRUE(MakeSymbolicLink(ConfigFolder(), elsewhere.path()));
  HostOptions options;
  options.script = SendLine("establishTunnel", TunnelParameters()) + "close\n";
  const HostRun run = RunHost(options);
  EXPECT_EQ(run.Replies(),
            std::vector<std::string>{
                "01" + StringHex("CONFIG_WRITE_FAILED") +
                StringHex("Failed to write WireGuard config file") + "00"})
      << run.process.err;
  const std::vector<std::string> messages = run.NativeMessages();
  EXPECT_TRUE(HasMessageStartingWith(
      messages,
      "ERROR: Folder not trusted, nothing is written there: "
      "C:\\ProgramData\\Keelhaven (it is a link)"));
  EXPECT_FALSE(HasMessageStartingWith(messages, "WARNING: Deleted"));
  EXPECT_FALSE(HasMessageStartingWith(messages, "Config written"));
  EXPECT_FALSE(TunnelServiceRegistered());
  EXPECT_TRUE(MovedConfigFolders().empty());
  // The link goes, not what it points to.
  DeleteConfigFolders();
  EXPECT_FALSE(FileExists(ConfigFolder()));
  EXPECT_EQ(ReadWholeFile(key_file), key);
  EXPECT_EQ(ReadWholeFile(log_file), log);
  int entries = 0;
  ForEachEntry(elsewhere.Join(L"*"),
               [&entries](const std::wstring&) { ++entries; });
  EXPECT_EQ(entries, 2);
}

TEST_F(HostStartTest, RefusedViewEndsWithExitCodeOne) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  const ScopedEnvironmentVariable fail_view(L"STANDIN_ENGINE_FAIL_VIEW", L"1");
  HostOptions options;
  options.script = "close\n";
  options.exit_code = 1;
  const HostRun run = RunHost(options);
  const std::vector<std::string> errors = run.ErrorLines();
  EXPECT_NE(std::find(errors.begin(), errors.end(),
                      "Failed to create view controller."),
            errors.end())
      << run.process.err;
  // No channel, no tunnel step, no view, no frame.
  EXPECT_EQ(run.NativeMessages(), std::vector<std::string>{});
  EXPECT_EQ(run.TranscriptLines("view"), std::vector<std::string>{});
  EXPECT_EQ(run.TranscriptLines("frame"), std::vector<std::string>{});
}

}  // namespace
