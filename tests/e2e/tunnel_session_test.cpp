// A whole session through the channel: the tunnel brought up, its counters
// read, taken down, and the window closed with and without a tunnel up.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/console_close.h"
#include "tests/e2e/host_test.h"
#include "tests/support/files.h"
#include "tests/support/log_capture.h"

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

class HostSessionTest : public HostTest {
 protected:
  // The window of the host `process_id`, once it has a tunnel up (null
  // when that does not come within a minute).
  HWND WaitForTunnelUp(DWORD process_id) const {
    HWND window = nullptr;
    WaitUntil(
        [&] {
          window = FindHostWindow(process_id);
          return window && TunnelUp();
        },
        60000);
    return window;
  }

  // The window's end took the tunnel down once and left nothing of it; the
  // flag was cleared on the way, so the destructor found nothing to do.
  void ExpectTakenDownAtTheEnd(const HostRun& run) const {
    const std::vector<std::string> messages = run.NativeMessages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(),
                         "OnDestroy: Tearing down active tunnel"),
              1)
        << run.process.err;
    EXPECT_TRUE(HasMessageStartingWith(
        messages, "Tunnel service uninstalled successfully"));
    EXPECT_FALSE(HasMessageStartingWith(messages, "Destructor:"));
    EXPECT_FALSE(TunnelServiceRegistered());
    EXPECT_FALSE(TunnelServiceInstalled());
    EXPECT_FALSE(FileExists(ConfigFile()));
  }
};

TEST_F(HostSessionTest, EstablishStatsTeardownReplyWithExactBytes) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  HostOptions options;
  options.script = SendLine("establishTunnel", TunnelParameters()) +
                   SendLine("getTunnelStats") + SendLine("getTunnelStats") +
                   SendLine("tearDownTunnel") + SendLine("getTunnelStats") +
                   "close\n";
  const HostRun run = RunHost(options);
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
  std::vector<std::string> described;
  for (const std::string& hex : run.Replies()) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ParseHex(hex, &bytes)) << hex;
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

// Also after a statistics read that failed: the tunnel may still be up.
TEST_F(HostSessionTest, ClosingWithTunnelUpTakesItDown) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  const struct {
    const char* name;
    const char* faults;
    std::vector<std::string> replies;
  } cases[] = {
      {"tunnel up", "", {kSuccessNull}},
      {"stats read failed", "dump exit=1\n", {kSuccessNull, kNoTraffic}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    standin_->SetFaults(c.faults);
    HostOptions options;
    options.script = SendLine("establishTunnel", TunnelParameters()) +
                     (c.replies.size() > 1 ? SendLine("getTunnelStats") : "") +
                     "close\n";
    const HostRun run = RunHost(options);
    EXPECT_EQ(run.Replies(), c.replies);
    ExpectTakenDownAtTheEnd(run);
  }
}

// As Windows does at log-off: the query, then the end; on Windows the
// process is then ended, here the window is closed instead. Once the
// session is ending no program can start, so the tunnel goes through the
// service manager alone, the key first, also when every uninstall would
// fail. An end that is called off changes nothing. The console's closing
// (the message its handler posts) takes the same way, then closes the
// window. A plain close whose uninstall fails falls back on the service
// manager too.
TEST_F(HostSessionTest, SessionEndTakesTheTunnelDownWithoutPrograms) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  enum class Way { kSessionEnd, kEndCalledOff, kConsoleClosing, kClose };
  const struct {
    const char* name;
    Way way;
    const char* faults;
  } cases[] = {
      {"session ends", Way::kSessionEnd, ""},
      {"session ends, every uninstall fails", Way::kSessionEnd,
       "uninstall exit=1\n"},
      {"end called off", Way::kEndCalledOff, ""},
      {"console closing, every uninstall fails", Way::kConsoleClosing,
       "uninstall exit=1\n"},
      // WireGuard can't remove it: the service manager does.
      {"window closed, every uninstall fails", Way::kClose,
       "uninstall exit=1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    standin_->SetFaults(c.faults);
    HostOptions options;
    options.script =
        SendLine("establishTunnel", TunnelParameters()) + "wait 60000\nclose\n";
    DWORD_PTR query_answer = TRUE;
    bool sent = false;
    bool service_after_end = true;
    bool file_after_end = true;
    options.while_running = [&](DWORD process_id) {
      const HWND window = WaitForTunnelUp(process_id);
      if (c.way == Way::kConsoleClosing || c.way == Way::kClose) {
        // The window closes itself afterwards.
        sent = ::PostMessageW(
            window, c.way == Way::kClose ? WM_CLOSE : kConsoleClosingMessage, 0,
            0);
        return;
      }
      DWORD_PTR ignored = 0;
      sent = ::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0,
                                   ENDSESSION_LOGOFF, SMTO_NORMAL, 60000,
                                   &query_answer) &&
             ::SendMessageTimeoutW(window, WM_ENDSESSION,
                                   c.way == Way::kSessionEnd ? TRUE : FALSE,
                                   ENDSESSION_LOGOFF, SMTO_NORMAL, 60000,
                                   &ignored);
      service_after_end = TunnelServiceRegistered();
      file_after_end = FileExists(ConfigFile());
      standin_->SetFaults("");
      ::PostMessageW(window, WM_CLOSE, 0, 0);
    };
    const HostRun run = RunHost(options);
    standin_->SetFaults("");
    ASSERT_TRUE(sent);
    EXPECT_EQ(query_answer, static_cast<DWORD_PTR>(TRUE));
    if (c.way != Way::kConsoleClosing && c.way != Way::kClose) {
      EXPECT_EQ(service_after_end, c.way == Way::kEndCalledOff)
          << run.process.err;
      EXPECT_EQ(file_after_end, c.way == Way::kEndCalledOff);
    }
    EXPECT_FALSE(TunnelServiceRegistered());
    EXPECT_FALSE(FileExists(ConfigFile()));
    if (c.way == Way::kEndCalledOff) {
      ExpectTakenDownAtTheEnd(run);
      continue;
    }
    const std::vector<std::string> messages = run.NativeMessages();
    if (c.way == Way::kClose) {
      const auto fallback = std::find(
          messages.begin(), messages.end(),
          "WARNING: The tunnel service is still installed; removing it "
          "through the service manager");
      ASSERT_NE(fallback, messages.end()) << run.process.err;
      EXPECT_TRUE(HasMessageStartingWith(
          std::vector<std::string>(fallback, messages.end()),
          "Deleted service WireGuardTunnel$Keelhaven"));
      continue;
    }
    // From the session's end on, no program ran; the close found nothing
    // left to do.
    const auto end = std::find(
        messages.begin(), messages.end(),
        "Session ending: removing the tunnel without starting programs");
    ASSERT_NE(end, messages.end()) << run.process.err;
    const std::vector<std::string> after(end + 1, messages.end());
    EXPECT_TRUE(
        HasMessageStartingWith(First(after, 1), "Config file deleted: "));
    EXPECT_FALSE(HasMessageStartingWith(after, "Running: "));
    EXPECT_TRUE(HasMessageStartingWith(
        after, "Deleted service WireGuardTunnel$Keelhaven"));
    EXPECT_FALSE(HasMessageStartingWith(messages, "OnDestroy:"));
    EXPECT_FALSE(HasMessageStartingWith(messages, "Destructor:"));
  }
}

// A second copy started while the first has a tunnel up says so, exits
// with its own code and touches nothing: the first one's service,
// interface and file stay until the first one closes.
TEST_F(HostSessionTest, SecondCopyLeavesTheFirstOnesTunnelAlone) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  HostOptions options;
  options.script =
      SendLine("establishTunnel", TunnelParameters()) + "wait 60000\nclose\n";
  ChildRun second;
  bool up_after_second = false;
  uint32_t show_after_second = 1;
  options.while_running = [&](DWORD process_id) {
    const HWND window = WaitForTunnelUp(process_id);
    ChildOptions child;
    child.folder = BundleFolder();
    second = RunChild(HostExecutable(), L"", child);
    up_after_second = TunnelUp() && TunnelServiceInstalled();
    show_after_second = RunChild(std::wstring(kWireGuardFolder) + L"\\wg.exe",
                                 L"show Keelhaven")
                            .exit_code;
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  };
  const HostRun run = RunHost(options);
  ASSERT_TRUE(second.started);
  EXPECT_FALSE(second.timed_out);
  EXPECT_EQ(second.exit_code, 2u) << second.err;
  EXPECT_EQ(second.err,
            Line("Keelhaven is already running; bringing its window to the "
                 "front"));
  EXPECT_TRUE(up_after_second);
  EXPECT_EQ(show_after_second, 0u);
  ExpectTakenDownAtTheEnd(run);
}

BOOL WINAPI IgnoreConsoleControl(DWORD) { return TRUE; }

// The console the host attached to belongs to the shell that started it: a
// Ctrl+C there leaves the window and the tunnel alone (it once closed the
// window); closing the window still takes the tunnel down.
TEST_F(HostSessionTest, CtrlCInTheConsoleIsIgnored) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  // A console of this test's own, which the host attaches to as its
  // parent's; the Ctrl+C goes to every process on it, this one included.
  ::FreeConsole();
  ASSERT_TRUE(::AllocConsole());
  ASSERT_TRUE(::SetConsoleCtrlHandler(IgnoreConsoleControl, TRUE));
  HostOptions options;
  options.script = SendLine("establishTunnel", TunnelParameters());
  options.timeout_ms = 60000;
  bool sent = false;
  bool window_closed = true;
  options.while_running = [&](DWORD process_id) {
    const HWND window = WaitForTunnelUp(process_id);
    // Wine sends no Ctrl+Break to a whole console; the shell's tests give
    // it to the handler directly.
    sent = ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    // Handled, the Ctrl+C would close the window at once.
    window_closed = WaitUntil([&] { return !::IsWindow(window); }, 2000);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  };
  const HostRun run = RunHost(options);
  ::SetConsoleCtrlHandler(IgnoreConsoleControl, FALSE);
  ::FreeConsole();

  ASSERT_TRUE(sent);
  EXPECT_FALSE(window_closed);
  ExpectTakenDownAtTheEnd(run);
}

TEST_F(HostSessionTest, ClosingWithoutTunnelTouchesNoTunnel) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  HostOptions options;
  options.script = "close\n";
  const HostRun run = RunHost(options);
  // Up to the look for a tunnel left by an earlier run, which finds none.
  const std::vector<std::string> expected = StartMessagesWithoutInterface();
  EXPECT_EQ(run.NativeMessages(), expected) << run.process.err;
  EXPECT_FALSE(FileExists(ConfigFile()));
}

}  // namespace
