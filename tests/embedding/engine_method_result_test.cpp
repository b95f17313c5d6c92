#include "embedding/engine_method_result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "codec/standard_method_codec.h"
#include "tests/codec/codec_test_util.h"

namespace flutter {
namespace {

constexpr char kDuplicate[] =
    "Error: Only one of Success, Error, or NotImplemented can be called, and "
    "it can be called exactly once. Ignoring duplicate result.\n";
constexpr char kUnanswered[] =
    "Warning: Failed to respond to a message. This is a memory leak.\n";

// What the reply callback received, one entry per call.
struct Reply {
  bool null_data;
  std::string hex;
};

class EngineMethodResultTest : public testing::Test {
 protected:
  std::unique_ptr<EngineMethodResult<EncodableValue>> MakeResult() {
    return std::make_unique<EngineMethodResult<EncodableValue>>(
        [this](const uint8_t* data, size_t size) {
          replies_.push_back(
              {data == nullptr, Hex(std::vector<uint8_t>(data, data + size))});
        },
        &StandardMethodCodec::GetInstance());
  }

  std::vector<Reply> replies_;
};

// Each answer sends its envelope once, and no unanswered warning follows.
TEST_F(EngineMethodResultTest, EachAnswerSendsItsEnvelopeOnce) {
  using Result = MethodResult<EncodableValue>;
  struct Case {
    const char* name;
    void (*answer)(Result&);
    const char* hex;  // null: the empty reply, with null data
  };
  const Case cases[] = {
      {"success without value", [](Result& r) { r.Success(); }, "00 00"},
      {"success with value",
       [](Result& r) { r.Success(EncodableValue(int32_t{5})); },
       "00 03 05000000"},
      {"error with code only", [](Result& r) { r.Error("E"); },
       "01 07 01 45 00 00"},
      {"error with message", [](Result& r) { r.Error("E", "m"); },
       "01 07 01 45 07 01 6d 00"},
      {"error with details",
       [](Result& r) { r.Error("E", "", EncodableValue("d")); },
       "01 07 01 45 00 07 01 64"},
      {"not implemented", [](Result& r) { r.NotImplemented(); }, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    replies_.clear();
    testing::internal::CaptureStderr();
    {
      auto result = MakeResult();
      c.answer(*result);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(replies_.size(), 1u);
    EXPECT_EQ(replies_[0].null_data, c.hex == nullptr);
    EXPECT_EQ(replies_[0].hex, c.hex ? Hex(Bytes(c.hex)) : "");
  }
}

TEST_F(EngineMethodResultTest, SecondAnswerIsRefusedWithALine) {
  auto result = MakeResult();
  result->Success(EncodableValue(true));
  testing::internal::CaptureStderr();
  result->Error("E", "late");
  result->NotImplemented();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            std::string(kDuplicate) + kDuplicate);
  ASSERT_EQ(replies_.size(), 1u);
  EXPECT_EQ(replies_[0].hex, "00 01");
}

TEST_F(EngineMethodResultTest, UnansweredResultWarnsAndSendsNothing) {
  testing::internal::CaptureStderr();
  MakeResult().reset();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kUnanswered);
  EXPECT_TRUE(replies_.empty());
}

// An answer given from inside the reply callback would otherwise reach the
// engine twice.
TEST(OneShotReplyTest, AnswerFromInsideTheCallbackIsRefused) {
  int calls = 0;
  std::unique_ptr<OneShotReply> reply;
  reply = std::make_unique<OneShotReply>([&](const uint8_t*, size_t) {
    ++calls;
    reply->Send(nullptr);
  });
  testing::internal::CaptureStderr();
  reply->Send(nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kDuplicate);
  EXPECT_EQ(calls, 1);
}

TEST(OneShotReplyTest, EmptyDataIsSentAsNullPointer) {
  const uint8_t* received = reinterpret_cast<const uint8_t*>(1);
  size_t received_size = 99;
  OneShotReply reply([&](const uint8_t* data, size_t size) {
    received = data;
    received_size = size;
  });
  std::vector<uint8_t> empty;
  reply.Send(&empty);
  EXPECT_EQ(received, nullptr);
  EXPECT_EQ(received_size, 0u);
}

}  // namespace
}  // namespace flutter
