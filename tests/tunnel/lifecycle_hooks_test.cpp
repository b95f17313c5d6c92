// How the tunnel follows the host window: the channel opened and the
// leftover check when the window is created, the teardown when the native
// window goes, and the teardown in the window object's destructor.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/standard_method_codec.h"
#include "embedding/binary_messenger.h"
#include "embedding/method_channel.h"
#include "tests/support/log_capture.h"
#include "tests/support/tunnel_fixture.h"
#include "util/native_log.h"

namespace {

using flutter::EncodableValue;
using Channel = flutter::MethodChannel<EncodableValue>;

constexpr char kChannel[] = "com.daltic.halberdix/wireguard";
constexpr char kRegistered[] =
    "MethodChannel registered: com.daltic.halberdix/wireguard";
constexpr char kNotDetected[] =
    "WARNING: WireGuard for Windows not detected. VPN functionality will not "
    "work until it is installed.";
constexpr char kOrphan[] =
    "WARNING: Found orphaned Keelhaven tunnel, cleaning up...";
constexpr char kStoppedService[] =
    "WARNING: Found Keelhaven tunnel service that is not running, removing "
    "it...";

// Records the handlers set per channel; sends nothing.
class RecordingMessenger : public flutter::BinaryMessenger {
 public:
  void SendMessage(const std::string&, const uint8_t*, size_t,
                   flutter::ReplyCallback) const override {}
  void SetChannelHandler(const std::string& channel,
                         flutter::ChannelMessageHandler handler) override {
    channels_set.push_back(channel);
    handlers_[channel] = std::move(handler);
  }

  // Delivers `message` on `channel`; the reply's bytes, or nullopt when
  // nothing answered.
  std::optional<std::vector<uint8_t>> Deliver(
      const std::string& channel, const std::vector<uint8_t>& message) {
    std::optional<std::vector<uint8_t>> reply;
    const auto found = handlers_.find(channel);
    if (found == handlers_.end() || !found->second) return reply;
    found->second(message.data(), message.size(),
                  [&reply](const uint8_t* data, size_t size) {
                    reply.emplace(data, data + size);
                  });
    return reply;
  }

  std::vector<std::string> channels_set;  // each time a handler was set

 private:
  std::map<std::string, flutter::ChannelMessageHandler> handlers_;
};

class LifecycleHooksTest : public testing::Test, public TunnelFixture {
 protected:
  LifecycleHooksTest() { service_registered = false; }

  // Runs the creation hook on messenger_ and channel_; its log messages.
  std::vector<std::string> RunCreationHook(TunnelController& controller) {
    LogCapture capture;
    controller.OnWindowCreated(&messenger_, channel_);
    return NativeMessages(capture.Finish());
  }

  // Brings a tunnel up through the channel's handler, for real.
  void Establish(TunnelController& controller) {
    LogCapture quiet;
    ASSERT_TRUE(CallTunnelMethod(
                    controller, "establishTunnel",
                    std::make_unique<EncodableValue>(EstablishParameters()))
                    .succeeded());
    ASSERT_TRUE(controller.tunnel_active()) << quiet.Finish();
    ASSERT_TRUE(wireguard.IsInstalled(L"Keelhaven"));
    ASSERT_TRUE(FileExists(controller.config_path()));
  }

  RecordingMessenger messenger_;
  std::unique_ptr<Channel> channel_;
};

TEST_F(LifecycleHooksTest, CreationLooksForALeftoverTunnelOnce) {
  struct Case {
    const char* name;
    int32_t result;
    const char* output;
    bool service;         // registered with the service manager
    const char* warning;  // nullptr: nothing to remove
  };
  const Case cases[] = {
      {"interface shown", 0, "interface: Keelhaven\n", true, kOrphan},
      {"nothing printed", 0, "", false, nullptr},
      {"no such interface", 1, "Unable to access interface\n", false, nullptr},
      {"failed to start", -1, "", false, nullptr},
      {"timed out", -2, "interface: Keelhaven\n", false, nullptr},
      // Installed but stopped: no interface, yet a service.
      {"service without interface", 1, "", true, kStoppedService},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    runs.clear();
    AnswerEveryRun(c.result, c.output);
    service_registered = c.service;
    TunnelController controller(System());
    messenger_ = RecordingMessenger();
    channel_.reset();
    const std::vector<std::string> messages = RunCreationHook(controller);

    ASSERT_NE(channel_, nullptr);
    EXPECT_EQ(messenger_.channels_set, std::vector<std::string>{kChannel});
    std::vector<std::string> expected = {
        kRegistered,
        "Found wireguard.exe at: " +
            WideToUtf8(wireguard.Tool(L"wireguard.exe")),
        "WireGuard for Windows found: " +
            WideToUtf8(wireguard.Tool(L"wireguard.exe")),
    };
    if (c.warning) expected.push_back(c.warning);
    EXPECT_EQ(First(messages, expected.size()), expected);
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs[0].command, ShowCommand());
    EXPECT_EQ(runs[0].timeout_ms, 5000u);
    if (c.warning) {
      // One removal follows, never a second; the flag of the new window
      // stays down.
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
    EXPECT_TRUE(controller.config_path().empty());
  }
}

// Without wireguard.exe the creation hook warns; with wg.exe alone it still
// checks for a leftover tunnel. The channel is served all the same: an
// unknown method is answered with the empty (not implemented) reply.
// Creating again replaces the channel.
TEST_F(LifecycleHooksTest, CreationWithoutWireGuardWarns) {
  wireguard.RemoveTool(L"wireguard.exe");
  AnswerEveryRun(1, "");
  const std::vector<std::string> expected = {
      kRegistered,
      "ERROR: wireguard.exe not found. Is WireGuard for Windows installed?",
      kNotDetected,
  };
  TunnelController controller(System());
  const Channel* first = nullptr;
  for (const bool wg : {true, false}) {
    SCOPED_TRACE(wg ? "wg.exe alone" : "no tools");
    if (!wg) wireguard.RemoveTool(L"wg.exe");
    runs.clear();
    EXPECT_EQ(RunCreationHook(controller), expected);
    ASSERT_EQ(runs.size(), wg ? 1u : 0u);
    if (wg) EXPECT_EQ(runs[0].command, ShowCommand());
    ASSERT_NE(channel_, nullptr);
    const flutter::MethodCall<EncodableValue> call("startTunnel", nullptr);
    const std::optional<std::vector<uint8_t>> reply = messenger_.Deliver(
        kChannel,
        *flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(call));
    ASSERT_TRUE(reply.has_value());
    EXPECT_TRUE(reply->empty());
    EXPECT_NE(channel_.get(), first);
    first = channel_.get();
  }
  EXPECT_EQ(messenger_.channels_set,
            (std::vector<std::string>{kChannel, kChannel}));
}

TEST_F(LifecycleHooksTest, TeardownHooksTakeAnActiveTunnelDown) {
  struct Case {
    const char* name;
    void (TunnelController::*hook)();
    const char* first_message;
    bool active_after;  // the destructor's hook leaves the flag alone
  };
  const Case cases[] = {
      {"native window destroyed", &TunnelController::OnWindowDestroyed,
       "OnDestroy: Tearing down active tunnel", false},
      {"object destroyed", &TunnelController::OnWindowDestructing,
       "Destructor: cleaning up active tunnel", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TunnelController controller(System());
    ASSERT_NO_FATAL_FAILURE(Establish(controller));
    const std::wstring config = controller.config_path();

    LogCapture capture;
    (controller.*c.hook)();
    const std::vector<std::string> messages = NativeMessages(capture.Finish());
    EXPECT_EQ(First(messages, 1), std::vector<std::string>{c.first_message});
    EXPECT_EQ(controller.tunnel_active(), c.active_after);
    EXPECT_TRUE(controller.config_path().empty());
    EXPECT_FALSE(FileExists(config));
    EXPECT_FALSE(wireguard.IsInstalled(L"Keelhaven"));
  }
}

// Without a tunnel, or once the destroy hook took it down, the teardown
// hooks neither log nor run anything.
TEST_F(LifecycleHooksTest, TeardownHooksIdleWithoutATunnel) {
  for (const bool established : {false, true}) {
    SCOPED_TRACE(established);
    TunnelController controller(System());
    if (established) {
      ASSERT_NO_FATAL_FAILURE(Establish(controller));
      LogCapture quiet;
      controller.OnWindowDestroyed();
    }
    runs.clear();
    LogCapture capture;
    if (!established) controller.OnWindowDestroyed();
    controller.OnWindowDestructing();
    EXPECT_EQ(capture.Finish(), "");
    EXPECT_TRUE(runs.empty());
  }
}

}  // namespace
