#include "embedding/method_channel.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
#include "embedding/binary_messenger_impl.h"
#include "fake_engine_api.h"

namespace flutter {
namespace {

using Calls = std::vector<std::string>;

// "ping" with the argument int32 5, and the success envelope of the string
// "pong".
const std::vector<uint8_t> kPingCall = {0x07, 0x04, 'p',  'i',  'n', 'g',
                                        0x03, 0x05, 0x00, 0x00, 0x00};
constexpr char kPongReply[] = "SendResponse 1 000704706f6e67";

class MethodChannelTest : public testing::Test {
 protected:
  const StandardMethodCodec& codec_ = StandardMethodCodec::GetInstance();

  void Deliver(const std::string& channel, const std::vector<uint8_t>& bytes) {
    engine_.calls.clear();
    ASSERT_TRUE(fake_engine::Deliver(&engine_, channel, bytes, &handle_));
  }

  FlutterDesktopMessenger engine_;
  BinaryMessengerImpl messenger_{&engine_};
  FlutterDesktopMessageResponseHandle handle_{1};
};

// Also once the channel object that set the handler is gone.
TEST_F(MethodChannelTest, DecodesTheCallAndSendsTheEncodedAnswer) {
  for (const bool channel_gone : {false, true}) {
    SCOPED_TRACE(channel_gone ? "channel object gone" : "channel object kept");
    auto channel =
        std::make_unique<MethodChannel<>>(&messenger_, "chan", &codec_);
    std::string name;
    EncodableValue arguments;
    channel->SetCallHandler(
        [&](const MethodCall<>& call, std::unique_ptr<MethodResult<>> result) {
          name = call.name();
          if (call.args()) arguments = *call.args();
          result->Success(EncodableValue(std::string("pong")));
        });
    if (channel_gone) channel.reset();
    Deliver("chan", kPingCall);
    EXPECT_EQ(name, "ping");
    EXPECT_EQ(arguments, EncodableValue(int32_t{5}));
    EXPECT_EQ(engine_.calls, (Calls{"AddRef", "Lock", "IsAvailable", kPongReply,
                                    "Unlock", "Release"}));
  }
}

TEST_F(MethodChannelTest, MessageThatIsNoCallGetsAnEmptyReply) {
  struct Case {
    const char* name;
    std::vector<uint8_t> message;
  };
  const Case cases[] = {
      {"empty message", {}},
      {"name is an int32", {0x03, 0x05, 0x00, 0x00, 0x00}},
      {"name is null", {0x00}},
  };
  MethodChannel<> channel(&messenger_, "com.example/one", &codec_);
  bool handler_called = false;
  channel.SetCallHandler(
      [&](const MethodCall<>&, std::unique_ptr<MethodResult<>>) {
        handler_called = true;
      });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Whatever the codec itself says about the bytes comes first.
    testing::internal::CaptureStderr();
    codec_.DecodeMethodCall(c.message.data(), c.message.size());
    const std::string codec_lines = testing::internal::GetCapturedStderr();

    testing::internal::CaptureStderr();
    Deliver("com.example/one", c.message);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              codec_lines +
                  "Unable to construct method call from message on channel "
                  "com.example/one\n");
    EXPECT_FALSE(handler_called);
    EXPECT_EQ(engine_.calls,
              (Calls{"AddRef", "Lock", "IsAvailable", "SendResponse 1 null",
                     "Unlock", "Release"}));
  }
}

// A method handler that throws answers with an empty reply unless it had
// answered; the unanswered result warns as it goes.
TEST_F(MethodChannelTest, ThrowingHandlerStillAnswersOnce) {
  for (const bool answered : {false, true}) {
    SCOPED_TRACE(answered ? "answered first" : "unanswered");
    MethodChannel<> channel(&messenger_, "chan", &codec_);
    channel.SetCallHandler([answered](const MethodCall<>&,
                                      std::unique_ptr<MethodResult<>> result) {
      if (answered) result->Success(EncodableValue(std::string("pong")));
      throw std::runtime_error("tunnel code failed");
    });
    testing::internal::CaptureStderr();
    Deliver("chan", kPingCall);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string(answered ? ""
                                   : "Warning: Failed to respond to a message. "
                                     "This is a memory leak.\n") +
                  "Error: Handler for channel chan failed: tunnel code "
                  "failed\n");
    EXPECT_EQ(engine_.calls,
              (Calls{"AddRef", "Lock", "IsAvailable",
                     answered ? kPongReply : "SendResponse 1 null", "Unlock",
                     "Release"}));
  }
}

TEST_F(MethodChannelTest, EachChannelKeepsItsOwnName) {
  MethodChannel<> first(&messenger_, "first", &codec_);
  MethodChannel<> second(&messenger_, "second", &codec_);
  auto ignore = [](const MethodCall<>&, std::unique_ptr<MethodResult<>> r) {
    r->NotImplemented();
  };
  first.SetCallHandler(ignore);
  second.SetCallHandler(ignore);
  const std::vector<uint8_t> not_a_call = {0x01};
  testing::internal::CaptureStderr();
  Deliver("second", not_a_call);
  const std::string lines = testing::internal::GetCapturedStderr();
  EXPECT_NE(lines.find("on channel second\n"), std::string::npos) << lines;
  EXPECT_EQ(lines.find("on channel first"), std::string::npos) << lines;
}

TEST_F(MethodChannelTest, EmptyHandlerUnregisters) {
  MethodChannel<> channel(&messenger_, "chan", &codec_);
  channel.SetCallHandler(
      [](const MethodCall<>&, std::unique_ptr<MethodResult<>>) {});
  channel.SetCallHandler(nullptr);
  EXPECT_EQ(engine_.calls,
            (Calls{"SetCallback chan set", "SetCallback chan null"}));
  EXPECT_EQ(engine_.routes.count("chan"), 0u);
}

TEST_F(MethodChannelTest, ResultKeptByTheHandlerAnswersLater) {
  for (const bool engine_gone : {false, true}) {
    SCOPED_TRACE(engine_gone ? "after shutdown" : "while running");
    engine_.available = true;
    MethodChannel<> channel(&messenger_, "chan", &codec_);
    std::unique_ptr<MethodResult<>> kept;
    channel.SetCallHandler(
        [&kept](const MethodCall<>&, std::unique_ptr<MethodResult<>> result) {
          kept = std::move(result);
        });
    Deliver("chan", kPingCall);
    EXPECT_EQ(engine_.references, 1);
    engine_.available = !engine_gone;

    testing::internal::CaptureStderr();
    kept->Success(EncodableValue(std::string("pong")));
    kept.reset();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(engine_.references, 0);
    const Calls expected =
        engine_gone
            ? Calls{"AddRef", "Lock", "IsAvailable", "Unlock", "Release"}
            : Calls{"AddRef",   "Lock",   "IsAvailable",
                    kPongReply, "Unlock", "Release"};
    EXPECT_EQ(engine_.calls, expected);
  }
}

}  // namespace
}  // namespace flutter
