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
#include "embedding/engine_method_result.h"
#include "embedding/method_channel.h"
#include "tests/support/log_capture.h"
#include "tests/support/recording_sleeper.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/standin_wireguard.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_keys.h"
#include "tunnel/tunnel_controller.h"
#include "util/native_log.h"

namespace {

using flutter::EncodableMap;
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
    ++handlers_set_[channel];
    handlers_[channel] = std::move(handler);
  }

  int handlers_set(const std::string& channel) const {
    const auto found = handlers_set_.find(channel);
    return found == handlers_set_.end() ? 0 : found->second;
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

 private:
  std::map<std::string, int> handlers_set_;
  std::map<std::string, flutter::ChannelMessageHandler> handlers_;
};

// One command as the controller ran it.
struct RecordedRun {
  std::wstring command;
  uint32_t timeout_ms;
};

// What the fake runner answers for a command: its result and output.
struct FakeAnswer {
  int32_t result;
  std::string output;
};

class LifecycleHooksTest : public testing::Test {
 protected:
  LifecycleHooksTest()
      // The search path holds nothing of ours.
      : path_(L"PATH", empty_folder_.path().c_str()) {}

  // Commands are answered by `fake_` when set, else run for real.
  TunnelController Controller() {
    TunnelSystem system;
    system.wireguard_folders = {wireguard_.install_folder()};
    // The host creates its folder, as it would under ProgramData.
    system.config_directory = [this] {
      return config_folder_.Join(L"Keelhaven");
    };
    system.sleep = sleeper_.AsFunction();
    system.tunnel_service_registered = [this] { return service_registered_; };
    system.run_command = [this](const std::wstring& command,
                                std::string* output, uint32_t timeout_ms,
                                const OutputLogFilter& filter) {
      runs_.push_back({command, timeout_ms});
      if (fake_) {
        if (output) *output = fake_->output;
        return fake_->result;
      }
      return RunCommand(command, output, timeout_ms, filter);
    };
    return TunnelController(std::move(system));
  }

  std::wstring Tool(const wchar_t* name) const {
    return wireguard_.install_folder() + L"\\" + name;
  }

  std::wstring WgShow() const {
    return L"\"" + Tool(L"wg.exe") + L"\" show Keelhaven";
  }

  // Runs the creation hook on messenger_ and channel_; its log messages.
  std::vector<std::string> RunCreationHook(TunnelController& controller) {
    LogCapture capture;
    controller.OnWindowCreated(&messenger_, channel_);
    return NativeMessages(capture.Finish());
  }

  // Brings a tunnel up through the channel's handler, for real.
  void Establish(TunnelController& controller) {
    const EncodableMap params = {
        {EncodableValue("privateKey"), EncodableValue(kTestPrivateKey)},
        {EncodableValue("serverPublicKey"), EncodableValue(kTestServerKey)},
        {EncodableValue("endpoint"), EncodableValue(kTestEndpoint)},
    };
    int replies = 0;
    const flutter::MethodCall<EncodableValue> call(
        "establishTunnel", std::make_unique<EncodableValue>(params));
    LogCapture quiet;
    controller.HandleTunnelMethodCall(
        call, std::make_unique<flutter::EngineMethodResult<EncodableValue>>(
                  [&replies](const uint8_t*, size_t) { ++replies; },
                  &flutter::StandardMethodCodec::GetInstance()));
    ASSERT_EQ(replies, 1);
    ASSERT_TRUE(controller.tunnel_active()) << quiet.Finish();
    ASSERT_TRUE(wireguard_.IsInstalled(L"Keelhaven"));
    ASSERT_TRUE(FileExists(controller.config_path()));
  }

  TempFolder empty_folder_;
  ScopedEnvironmentVariable path_;
  StandinWireGuard wireguard_;
  TempFolder config_folder_;
  RecordingSleeper sleeper_;
  std::optional<FakeAnswer> fake_;
  // What the service manager is said to hold.
  bool service_registered_ = false;
  std::vector<RecordedRun> runs_;
  RecordingMessenger messenger_;
  std::unique_ptr<Channel> channel_;
};

TEST_F(LifecycleHooksTest, CreationLooksForALeftoverTunnelOnce) {
  struct Case {
    const char* name;
    FakeAnswer answer;
    bool service;         // registered with the service manager
    const char* warning;  // nullptr: nothing to remove
  };
  const Case cases[] = {
      {"interface shown", {0, "interface: Keelhaven\n"}, true, kOrphan},
      {"nothing printed", {0, ""}, false, nullptr},
      {"no such interface",
       {1, "Unable to access interface\n"},
       false,
       nullptr},
      {"failed to start", {-1, ""}, false, nullptr},
      {"timed out", {-2, "interface: Keelhaven\n"}, false, nullptr},
      // Installed but stopped: no interface, yet a service.
      {"service without interface", {1, ""}, true, kStoppedService},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    runs_.clear();
    fake_ = c.answer;
    service_registered_ = c.service;
    TunnelController controller = Controller();
    messenger_ = RecordingMessenger();
    channel_.reset();
    const std::vector<std::string> messages = RunCreationHook(controller);

    ASSERT_NE(channel_, nullptr);
    EXPECT_EQ(messenger_.handlers_set(kChannel), 1);
    std::vector<std::string> expected = {
        kRegistered,
        "Found wireguard.exe at: " + WideToUtf8(Tool(L"wireguard.exe")),
        "WireGuard for Windows found: " + WideToUtf8(Tool(L"wireguard.exe")),
    };
    if (c.warning) expected.push_back(c.warning);
    ASSERT_GE(messages.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(messages.begin(),
                                       messages.begin() + expected.size()),
              expected);
    ASSERT_FALSE(runs_.empty());
    EXPECT_EQ(runs_[0].command, WgShow());
    EXPECT_EQ(runs_[0].timeout_ms, 5000u);
    if (c.warning) {
      // One removal follows, never a second; the flag of the new window
      // stays down.
      ASSERT_GE(runs_.size(), 2u);
      EXPECT_EQ(runs_[1].command, L"\"" + Tool(L"wireguard.exe") +
                                      L"\" /uninstalltunnelservice Keelhaven");
      EXPECT_EQ(std::count(messages.begin(), messages.end(), kStoppedService) +
                    std::count(messages.begin(), messages.end(), kOrphan),
                1);
    } else {
      EXPECT_EQ(messages.size(), expected.size());
      EXPECT_EQ(runs_.size(), 1u);
    }
    EXPECT_FALSE(controller.tunnel_active());
    EXPECT_TRUE(controller.config_path().empty());
  }
}

TEST_F(LifecycleHooksTest, CreationWithoutToolsWarnsAndRunsNothing) {
  wireguard_.RemoveTool(L"wireguard.exe");
  wireguard_.RemoveTool(L"wg.exe");
  TunnelController controller = Controller();
  const std::vector<std::string> expected = {
      kRegistered,
      "ERROR: wireguard.exe not found. Is WireGuard for Windows installed?",
      kNotDetected,
  };
  EXPECT_EQ(RunCreationHook(controller), expected);
  EXPECT_TRUE(runs_.empty());
  // The channel is served all the same: an unknown method is answered with
  // the empty (not implemented) reply.
  ASSERT_NE(channel_, nullptr);
  const flutter::MethodCall<EncodableValue> call("startTunnel", nullptr);
  const std::vector<uint8_t> unknown =
      *flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(call);
  const std::optional<std::vector<uint8_t>> reply =
      messenger_.Deliver(kChannel, unknown);
  ASSERT_TRUE(reply.has_value());
  EXPECT_TRUE(reply->empty());
}

TEST_F(LifecycleHooksTest, CreationWithWgAloneStillChecksForALeftover) {
  wireguard_.RemoveTool(L"wireguard.exe");
  fake_ = FakeAnswer{1, ""};
  TunnelController controller = Controller();
  const std::vector<std::string> messages = RunCreationHook(controller);
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[2], kNotDetected);
  ASSERT_EQ(runs_.size(), 1u);
  EXPECT_EQ(runs_[0].command, WgShow());
}

TEST_F(LifecycleHooksTest, CreatingAgainReplacesTheChannel) {
  fake_ = FakeAnswer{1, ""};
  TunnelController controller = Controller();
  RunCreationHook(controller);
  const Channel* first = channel_.get();
  RunCreationHook(controller);
  ASSERT_NE(channel_, nullptr);
  EXPECT_NE(channel_.get(), first);
  EXPECT_EQ(messenger_.handlers_set(kChannel), 2);
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
    TunnelController controller = Controller();
    ASSERT_NO_FATAL_FAILURE(Establish(controller));
    const std::wstring config = controller.config_path();

    LogCapture capture;
    (controller.*c.hook)();
    const std::vector<std::string> messages = NativeMessages(capture.Finish());
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0], c.first_message);
    EXPECT_EQ(controller.tunnel_active(), c.active_after);
    EXPECT_TRUE(controller.config_path().empty());
    EXPECT_FALSE(FileExists(config));
    EXPECT_FALSE(wireguard_.IsInstalled(L"Keelhaven"));
  }
}

TEST_F(LifecycleHooksTest, DestructorHookIdleAfterTheDestroyHook) {
  TunnelController controller = Controller();
  ASSERT_NO_FATAL_FAILURE(Establish(controller));
  {
    LogCapture quiet;
    controller.OnWindowDestroyed();
  }
  runs_.clear();
  LogCapture capture;
  controller.OnWindowDestructing();
  EXPECT_EQ(capture.Finish(), "");
  EXPECT_TRUE(runs_.empty());
}

TEST_F(LifecycleHooksTest, WithoutATunnelTheTeardownHooksDoNothing) {
  TunnelController controller = Controller();
  LogCapture capture;
  controller.OnWindowDestroyed();
  controller.OnWindowDestructing();
  EXPECT_EQ(capture.Finish(), "");
  EXPECT_TRUE(runs_.empty());
}

}  // namespace
