// A whole session through the channel: the tunnel brought up, its counters
// read, taken down, and the window closed with and without a tunnel up.
#include <gtest/gtest.h>

#include <algorithm>
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

class HostSessionTest : public HostTest {
 protected:
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

TEST_F(HostSessionTest, ClosingWithTunnelUpTakesItDown) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  HostOptions options;
  options.script = SendLine("establishTunnel", TunnelParameters()) + "close\n";
  const HostRun run = RunHost(options);
  EXPECT_EQ(run.Replies(), std::vector<std::string>{kSuccessNull});
  ExpectTakenDownAtTheEnd(run);
}

TEST_F(HostSessionTest, SessionEndTakesTheTunnelDownBeforeAnswering) {
  ASSERT_NO_FATAL_FAILURE(InstallWireGuard());
  HostOptions options;
  options.script =
      SendLine("establishTunnel", TunnelParameters()) + "wait 60000\nclose\n";
  DWORD_PTR query_answer = 0;
  bool sent = false;
  bool left_after_end = true;
  // As Windows does at log-off: the query, then the end, then (on Windows)
  // the process is ended; here the window is closed instead.
  options.while_running = [&](DWORD process_id) {
    HWND window = nullptr;
    WaitUntil(
        [&] {
          window = FindHostWindow(process_id);
          return window && TunnelUp();
        },
        60000);
    DWORD_PTR ignored = 0;
    sent =
        ::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                              SMTO_NORMAL, 60000, &query_answer) &&
        ::SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF,
                              SMTO_NORMAL, 60000, &ignored);
    left_after_end = TunnelServiceRegistered() || TunnelServiceInstalled() ||
                     FileExists(ConfigFile());
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  };
  const HostRun run = RunHost(options);
  ASSERT_TRUE(sent);
  EXPECT_EQ(query_answer, static_cast<DWORD_PTR>(TRUE));
  EXPECT_FALSE(left_after_end) << run.process.err;
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
    WaitUntil([&] { return FindHostWindow(process_id) && TunnelUp(); }, 60000);
    const HWND window = FindHostWindow(process_id);
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
