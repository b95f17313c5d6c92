// The stand-in engine's script and transcript protocol (standins/engine/
// README.md), played through the real method channel: tests elsewhere rely
// on every line of it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
#include "embedding/engine_api.h"
#include "embedding/flutter_engine.h"
#include "embedding/method_channel.h"
#include "engine_test_host.h"
#include "tests/support/files.h"
#include "util/native_log.h"

namespace flutter {
namespace {

using engine_test::ArgLine;
using engine_test::Lines;
using engine_test::PumpMessagesUntil;

constexpr DWORD kLimitMs = 10000;

class EngineScriptTest : public engine_test::StandinEngineTest {
 protected:
  // The project names the script and the transcript in its entry-point
  // arguments, as the application's command line does.
  EngineProject Project() const {
    EngineProject project(L"data");
    project.SetEntrypointArguments({script_argument_, transcript_argument_});
    return project;
  }

  const std::string script_argument_ = "--script=" + WideToUtf8(script_path_);
  const std::string transcript_argument_ =
      "--transcript=" + WideToUtf8(transcript_path_);
  // Only the arguments name the files here.
  ScopedEnvironmentVariable no_transcript_{L"STANDIN_ENGINE_TRANSCRIPT",
                                           nullptr};
};

TEST_F(EngineScriptTest, PlaysTheScriptAndTranscribesEveryEvent) {
  // "ping" and "other", both without arguments.
  ASSERT_TRUE(WriteWholeFile(script_path_,
                             "# a comment, then a blank line\n\n"
                             "send com.example/test 070470696e6700\r\n"
                             "send com.example/test 07056f7468657200\n"
                             "send nobody.home 01\nwait 20\nrect\nclose\n"));
  engine_test::HostWindow host(100, 120, 400, 300);
  ASSERT_TRUE(host.Start(Project()));
  MethodChannel<> channel(host.controller()->GetEngine()->GetMessenger(),
                          "com.example/test",
                          &StandardMethodCodec::GetInstance());
  std::vector<std::string> calls;
  channel.SetCallHandler([&calls](const MethodCall<>& call,
                                  std::unique_ptr<MethodResult<>> result) {
    calls.push_back(call.name());
    if (call.name() == "ping") {
      result->Success(EncodableValue(std::string("pong")));
    } else {
      result->NotImplemented();
    }
  });

  ASSERT_TRUE(
      PumpMessagesUntil([&host] { return host.destroyed(); }, kLimitMs));
  EXPECT_EQ(calls, (Lines{"ping", "other"}));
  EXPECT_EQ(Transcript(),
            (Lines{
                "args 2",
                ArgLine(0, script_argument_),
                ArgLine(1, transcript_argument_),
                "assets data\\flutter_assets",
                "icu data\\icudtl.dat",
                "aot data\\app.so",
                "view 400 300",
                // Reported before the host's callback shows the window.
                "frame visible=0",
                // The success envelope of "pong", byte for byte.
                "reply com.example/test 000704706f6e67",
                // An empty reply has no hex and no trailing space.
                "reply com.example/test",
                "unhandled nobody.home",
                "rect 100 120 400 300",
                "shutdown refs=0",
            }));
}

// The stand-in's own checks of the response handles, through the C
// interface directly.
void AnswerTwice(FlutterDesktopMessengerRef messenger,
                 const FlutterDesktopMessage* message, void* /*user_data*/) {
  const uint8_t reply = 0x01;
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle,
                                      &reply, 1);
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle,
                                      &reply, 1);
}

TEST_F(EngineScriptTest, ReportsASecondAnswerToOneMessage) {
  ASSERT_TRUE(WriteWholeFile(script_path_, "send raw\nclose\n"));
  engine_test::HostWindow host(0, 0, 64, 48);
  ASSERT_TRUE(host.Start(Project()));
  // The controller's engine gave its handle to the library already; asking
  // again gives the same handle, and with it the messenger underneath.
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(
      host.controller()->GetEngine()->ReleaseEngineHandle());
  FlutterDesktopMessengerSetCallback(messenger, "raw", AnswerTwice, nullptr);
  ASSERT_TRUE(
      PumpMessagesUntil([&host] { return host.destroyed(); }, kLimitMs));
  const Lines transcript = Transcript();
  const Lines tail(transcript.end() - 3, transcript.end());
  EXPECT_EQ(tail, (Lines{"reply raw 01", "duplicate raw", "shutdown refs=0"}));
}

TEST_F(EngineScriptTest, BadOrMissingScriptIsRefusedWhole) {
  struct Case {
    const char* script;  // null: no file (first, before any is written)
    std::string error;
  };
  const Case cases[] = {
      {nullptr, "error script unreadable " + WideToUtf8(script_path_)},
      {"rect\njump\n", "error script line 2: unknown command jump"},
      {"send\n", "error script line 1: send <channel> <hex>"},
      {"send a 0\n", "error script line 1: bad hex"},
      {"send a 0g\n", "error script line 1: bad hex"},
      {"send a 00 00\n", "error script line 1: send <channel> <hex>"},
      {"# x\nwait 600001\n",
       "error script line 2: wait <milliseconds up to 600000>"},
      {"wait -1\n", "error script line 1: wait <milliseconds up to 600000>"},
      {"close now\n", "error script line 1: close takes no argument"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script ? c.script : "no file");
    ASSERT_TRUE(!c.script || WriteWholeFile(script_path_, c.script));
    { FlutterEngine engine(Project()); }
    const Lines transcript = Transcript();
    ASSERT_GE(transcript.size(), 2u);
    EXPECT_EQ(transcript[transcript.size() - 2], c.error);
    EXPECT_EQ(transcript.back(), "shutdown refs=0");
  }
}

}  // namespace
}  // namespace flutter
