#include "embedding/binary_messenger_impl.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "fake_engine_api.h"

namespace flutter {
namespace {

using Calls = std::vector<std::string>;

constexpr char kDuplicateLine[] =
    "Error: Response can be set only once. Ignoring duplicate response.\n";

class BinaryMessengerImplTest : public testing::Test {
 protected:
  // Delivers bytes on the channel with response handle `id` and clears the
  // call log first, so the log then shows this message's calls only.
  void Deliver(const std::string& channel, const std::vector<uint8_t>& bytes,
               int id = 1) {
    handles_.push_back(std::make_unique<FlutterDesktopMessageResponseHandle>(
        FlutterDesktopMessageResponseHandle{id}));
    engine_.calls.clear();
    ASSERT_TRUE(
        fake_engine::Deliver(&engine_, channel, bytes, handles_.back().get()));
  }

  // Registers a handler that keeps the reply callback in `kept`.
  void KeepReplies(const std::string& channel,
                   std::vector<ReplyCallback>* kept) {
    messenger_.SetChannelHandler(
        channel, [kept](const uint8_t*, size_t, ReplyCallback reply) {
          kept->push_back(std::move(reply));
        });
  }

  FlutterDesktopMessenger engine_;
  BinaryMessengerImpl messenger_{&engine_};
  std::vector<std::unique_ptr<FlutterDesktopMessageResponseHandle>> handles_;
};

TEST_F(BinaryMessengerImplTest, ReplacingAHandlerKeepsItsAddress) {
  auto first_state = std::make_shared<int>(0);
  int second_calls = 0;
  messenger_.SetChannelHandler(
      "chan",
      [first_state](const uint8_t*, size_t, ReplyCallback) { ++*first_state; });
  void* const first_address = engine_.routes["chan"].user_data;
  messenger_.SetChannelHandler(
      "chan", [&second_calls](const uint8_t*, size_t, ReplyCallback) {
        ++second_calls;
      });

  EXPECT_EQ(engine_.calls,
            (Calls{"SetCallback chan set", "SetCallback chan set"}));
  EXPECT_EQ(engine_.routes["chan"].user_data, first_address);
  EXPECT_EQ(first_state.use_count(), 1)
      << "the first handler was not destroyed";
  Deliver("chan", {});
  EXPECT_EQ(*first_state, 0);
  EXPECT_EQ(second_calls, 1);
}

TEST_F(BinaryMessengerImplTest, UnregisteringAlwaysTellsTheEngine) {
  auto state = std::make_shared<int>(0);
  messenger_.SetChannelHandler(
      "kept", [state](const uint8_t*, size_t, ReplyCallback) { ++*state; });
  messenger_.SetChannelHandler(
      "gone", [state](const uint8_t*, size_t, ReplyCallback) {});
  engine_.calls.clear();

  messenger_.SetChannelHandler("never", nullptr);
  messenger_.SetChannelHandler("gone", nullptr);

  EXPECT_EQ(engine_.calls,
            (Calls{"SetCallback never null", "SetCallback gone null"}));
  EXPECT_EQ(state.use_count(), 2) << "only the kept handler holds the state";
  Deliver("kept", {});
  EXPECT_EQ(*state, 1);
}

TEST_F(BinaryMessengerImplTest, HandlerGetsTheBytesAndAnswersThroughTheEngine) {
  struct Case {
    const char* name;
    std::vector<uint8_t> message;
    std::vector<uint8_t> reply;
    Calls calls;
  };
  const Case cases[] = {
      {"bytes both ways",
       {0x01, 0x02, 0x03},
       {0x0a, 0x0b},
       {"AddRef", "Lock", "IsAvailable", "SendResponse 7 0a0b", "Unlock",
        "Release"}},
      {"empty message, empty reply",
       {},
       {},
       {"AddRef", "Lock", "IsAvailable", "SendResponse 7 null", "Unlock",
        "Release"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    static const uint8_t kNotSet = 0;
    std::vector<uint8_t> received;
    const uint8_t* received_pointer = &kNotSet;
    messenger_.SetChannelHandler(
        "chan", [&](const uint8_t* message, size_t size, ReplyCallback reply) {
          received_pointer = message;
          received.assign(message, message + size);
          reply(c.reply.empty() ? nullptr : c.reply.data(), c.reply.size());
        });
    Deliver("chan", c.message, 7);
    EXPECT_EQ(received, c.message);
    EXPECT_EQ(received_pointer == nullptr, c.message.empty());
    EXPECT_EQ(engine_.calls, c.calls);
    EXPECT_EQ(engine_.references, 0);
  }
}

TEST_F(BinaryMessengerImplTest, KeptReplyHoldsOneReferenceForAllItsCopies) {
  std::vector<ReplyCallback> kept;
  KeepReplies("chan", &kept);
  Deliver("chan", {0x01}, 3);
  EXPECT_EQ(engine_.calls, Calls{"AddRef"});
  EXPECT_EQ(engine_.references, 1);

  ReplyCallback copy = kept[0];
  kept.clear();
  EXPECT_EQ(engine_.references, 1) << "a copy still holds the reference";
  const uint8_t reply = 0x2a;
  copy(&reply, 1);
  // Sent under the lock.
  EXPECT_EQ(engine_.depth_at_availability, std::vector<int>{1});
  EXPECT_EQ(engine_.depth_at_response, std::vector<int>{1});
  EXPECT_EQ(engine_.lock_depth, 0);
  EXPECT_EQ(engine_.references, 1);
  copy = nullptr;
  EXPECT_EQ(engine_.references, 0);
  EXPECT_EQ(engine_.calls, (Calls{"AddRef", "Lock", "IsAvailable",
                                  "SendResponse 3 2a", "Unlock", "Release"}));
}

// The engine takes one response per message: a second reply, through the
// same copy or another one, only prints a line.
TEST_F(BinaryMessengerImplTest, SecondReplyOnlyPrintsALine) {
  for (const bool other_copy : {false, true}) {
    SCOPED_TRACE(other_copy ? "another copy" : "the same copy");
    std::vector<ReplyCallback> kept;
    KeepReplies("chan", &kept);
    Deliver("chan", {0x01}, 4);
    ReplyCallback copy = kept[0];
    const uint8_t first = 0x01, second = 0x02;
    kept[0](&first, 1);
    testing::internal::CaptureStderr();
    (other_copy ? copy : kept[0])(&second, 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), kDuplicateLine);
    EXPECT_EQ(engine_.calls,
              (Calls{"AddRef", "Lock", "IsAvailable", "SendResponse 4 01",
                     "Unlock", "Lock", "IsAvailable", "Unlock"}));
  }
}

// Nothing a handler throws may unwind into the engine: it is reported, and a
// message it left unanswered gets an empty reply.
TEST_F(BinaryMessengerImplTest, FailingHandlerIsReportedAndAnsweredOnce) {
  struct Case {
    const char* name;
    bool answer_first;
    bool standard_exception;
    const char* line;
    Calls calls;
  };
  const Case cases[] = {
      {"throws before answering",
       false,
       true,
       "Error: Handler for channel chan failed: broken\n",
       {"AddRef", "Lock", "IsAvailable", "SendResponse 5 null", "Unlock",
        "Release"}},
      {"throws something else",
       false,
       false,
       "Error: Handler for channel chan failed: unknown exception\n",
       {"AddRef", "Lock", "IsAvailable", "SendResponse 5 null", "Unlock",
        "Release"}},
      {"throws after answering",
       true,
       true,
       "Error: Handler for channel chan failed: broken\n",
       {"AddRef", "Lock", "IsAvailable", "SendResponse 5 2a", "Unlock",
        "Release"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messenger_.SetChannelHandler(
        "chan", [&c](const uint8_t*, size_t, ReplyCallback reply) {
          const uint8_t answer = 0x2a;
          if (c.answer_first) reply(&answer, 1);
          if (c.standard_exception) throw std::runtime_error("broken");
          throw 7;
        });
    testing::internal::CaptureStderr();
    Deliver("chan", {0x01}, 5);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.line);
    EXPECT_EQ(engine_.calls, c.calls);
    EXPECT_EQ(engine_.references, 0);
  }
}

TEST_F(BinaryMessengerImplTest, ReplyAfterShutdownIsDroppedSilently) {
  std::vector<ReplyCallback> kept;
  KeepReplies("chan", &kept);
  Deliver("chan", {0x01});
  engine_.available = false;
  const uint8_t reply = 0x01;
  testing::internal::CaptureStderr();
  kept[0](&reply, 1);
  kept[0](&reply, 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(engine_.calls, (Calls{"AddRef", "Lock", "IsAvailable", "Unlock",
                                  "Lock", "IsAvailable", "Unlock"}));
  kept.clear();
  EXPECT_EQ(engine_.references, 0);
}

TEST_F(BinaryMessengerImplTest, DeclinedLockIsNotUnlocked) {
  std::vector<ReplyCallback> kept;
  KeepReplies("chan", &kept);
  Deliver("chan", {0x01});
  engine_.decline_lock = true;
  const uint8_t reply = 0x01;
  kept[0](&reply, 1);
  EXPECT_EQ(engine_.calls,
            (Calls{"AddRef", "Lock", "IsAvailable", "SendResponse 1 01"}));
}

// A handler may replace or remove its own channel's handler while it runs;
// the running one must survive until it returns (ASan catches the rest).
TEST_F(BinaryMessengerImplTest, HandlerMayChangeItsOwnChannelWhileRunning) {
  for (const bool remove : {false, true}) {
    SCOPED_TRACE(remove ? "removes itself" : "replaces itself");
    auto state = std::make_shared<std::string>();
    messenger_.SetChannelHandler(
        "chan", [this, state, remove](const uint8_t*, size_t, ReplyCallback) {
          if (remove) {
            messenger_.SetChannelHandler("chan", nullptr);
          } else {
            messenger_.SetChannelHandler(
                "chan", [state](const uint8_t*, size_t, ReplyCallback) {
                  *state += "second;";
                });
          }
          *state += "first;";
        });
    Deliver("chan", {});
    if (!remove) Deliver("chan", {});
    EXPECT_EQ(*state, remove ? "first;" : "first;second;");
  }
}

TEST_F(BinaryMessengerImplTest, SendsWithAndWithoutReply) {
  const std::vector<uint8_t> message = {0x01, 0x02};
  messenger_.SendMessage("out", message.data(), message.size());
  EXPECT_EQ(engine_.calls, Calls{"Send out 0102"});
  EXPECT_TRUE(engine_.pending_replies.empty());

  engine_.calls.clear();
  auto token = std::make_shared<int>(0);
  std::vector<uint8_t> answer;
  messenger_.SendMessage("out", message.data(), message.size(),
                         [token, &answer](const uint8_t* reply, size_t size) {
                           answer.assign(reply, reply + size);
                         });
  EXPECT_EQ(engine_.calls, Calls{"SendWithReply out 0102"});
  ASSERT_EQ(engine_.pending_replies.size(), 1u);
  EXPECT_EQ(token.use_count(), 2);

  const uint8_t reply[] = {0x0c, 0x0d};
  engine_.pending_replies[0].reply(reply, 2,
                                   engine_.pending_replies[0].user_data);
  EXPECT_EQ(answer, (std::vector<uint8_t>{0x0c, 0x0d}));
  EXPECT_EQ(token.use_count(), 1) << "the holder was not freed after its reply";
}

TEST_F(BinaryMessengerImplTest, FailingReplyHandlerIsReportedAndFreed) {
  auto token = std::make_shared<int>(0);
  const uint8_t message = 0x07;
  messenger_.SendMessage("out", &message, 1, [token](const uint8_t*, size_t) {
    throw std::runtime_error("late");
  });
  ASSERT_EQ(engine_.pending_replies.size(), 1u);
  testing::internal::CaptureStderr();
  engine_.pending_replies[0].reply(nullptr, 0,
                                   engine_.pending_replies[0].user_data);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Reply handler failed: late\n");
  EXPECT_EQ(token.use_count(), 1);
}

TEST_F(BinaryMessengerImplTest, RefusedSendDropsTheReplyAtOnce) {
  engine_.accept_sends = false;
  auto token = std::make_shared<int>(0);
  bool called = false;
  const uint8_t message = 0x07;
  messenger_.SendMessage(
      "out", &message, 1,
      [token, &called](const uint8_t*, size_t) { called = true; });
  EXPECT_EQ(engine_.calls, Calls{"SendWithReply out 07"});
  EXPECT_EQ(token.use_count(), 1);
  EXPECT_FALSE(called);
}

}  // namespace
}  // namespace flutter
