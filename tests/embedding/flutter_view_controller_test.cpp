// The view controller and the next-frame callback against the stand-in
// engine library, in a hidden window under the display.
#include "embedding/flutter_view_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
#include "embedding/method_channel.h"
#include "engine_test_host.h"
#include "tests/support/files.h"

namespace flutter {
namespace {

using engine_test::Lines;
using engine_test::PumpMessagesFor;
using engine_test::PumpMessagesUntil;
using engine_test::ReadLines;
using FlutterViewControllerTest = engine_test::StandinEngineTest;

constexpr DWORD kLimitMs = 10000;

Lines WithPrefix(const Lines& lines, const std::string& prefix) {
  Lines found;
  for (const std::string& line : lines) {
    if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
  }
  return found;
}

TEST_F(FlutterViewControllerTest, CreatesAViewOfTheSizeAndReleasesIt) {
  HWND view = nullptr;
  {
    FlutterViewController controller(320, 200, EngineProject(L"data"));
    ASSERT_NE(controller.GetView(), nullptr);
    ASSERT_NE(controller.GetEngine(), nullptr);
    EXPECT_NE(controller.GetEngine()->GetMessenger(), nullptr);
    view = controller.GetView()->GetWindowHandle();
    ASSERT_TRUE(::IsWindow(view));
    EXPECT_TRUE(::GetWindowLongPtrW(view, GWL_STYLE) & WS_CHILD);
    RECT client = {};
    ::GetClientRect(view, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
    EXPECT_EQ(WithPrefix(Transcript(), "view"), Lines{"view 320 200"});
  }
  EXPECT_FALSE(::IsWindow(view));
  EXPECT_EQ(Transcript().back(), "shutdown refs=0");
}

TEST_F(FlutterViewControllerTest, RefusedControllerDestroysNothing) {
  struct Case {
    const wchar_t* variable;
    Lines last_line;  // empty: no transcript at all
  };
  const Case cases[] = {
      // The engine library refuses the view: the engine it was given is its
      // own matter, and nobody destroys it.
      {L"STANDIN_ENGINE_FAIL_VIEW", {"aot data\\app.so"}},
      // No engine at all: the controller never asks for a view.
      {L"STANDIN_ENGINE_FAIL_ENGINE", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.variable, c.variable + wcslen(c.variable)));
    const ScopedEnvironmentVariable fail(c.variable, L"1");
    // A transcript of its own: the refused engine is never shut down and
    // keeps its file open.
    const std::wstring path = folder_.Join(std::wstring(c.variable) + L".txt");
    const ScopedEnvironmentVariable own_transcript(L"STANDIN_ENGINE_TRANSCRIPT",
                                                   path.c_str());
    testing::internal::CaptureStderr();
    {
      FlutterViewController controller(320, 200, EngineProject(L"data"));
      EXPECT_EQ(controller.GetView(), nullptr);
      EXPECT_NE(controller.GetEngine(), nullptr);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Failed to create view controller.\n");
    const Lines transcript = ReadLines(path);
    EXPECT_EQ(WithPrefix(transcript, "view"), Lines{});
    EXPECT_EQ(WithPrefix(transcript, "shutdown"), Lines{});
    const Lines tail(transcript.end() - std::min<size_t>(1, transcript.size()),
                     transcript.end());
    EXPECT_EQ(tail, c.last_line);
  }
}

TEST_F(FlutterViewControllerTest, NextFrameCallbackRunsOncePerRegistration) {
  FlutterViewController controller(64, 48, EngineProject(L"data"));
  ASSERT_NE(controller.GetView(), nullptr);
  int runs = 0;
  controller.GetEngine()->SetNextFrameCallback([&runs] { ++runs; });
  EXPECT_EQ(runs, 0) << "ran inside the registration";
  ASSERT_TRUE(PumpMessagesUntil([&runs] { return runs == 1; }, kLimitMs));
  PumpMessagesFor(100);
  EXPECT_EQ(runs, 1);

  // Re-armed: a later registration runs again, once.
  controller.GetEngine()->SetNextFrameCallback([&runs] { runs += 10; });
  ASSERT_TRUE(PumpMessagesUntil([&runs] { return runs == 11; }, kLimitMs));
  PumpMessagesFor(100);
  EXPECT_EQ(runs, 11);
  EXPECT_EQ(WithPrefix(Transcript(), "frame"),
            (Lines{"frame visible=0", "frame visible=0"}));
}

// A callback that throws is reported and never unwinds into the engine,
// which goes on running the next one.
TEST_F(FlutterViewControllerTest, NextFrameCallbackMayRegisterTheNextOne) {
  for (const bool first_throws : {false, true}) {
    SCOPED_TRACE(first_throws ? "first throws" : "first returns");
    FlutterViewController controller(64, 48, EngineProject(L"data"));
    ASSERT_NE(controller.GetView(), nullptr);
    FlutterEngine* engine = controller.GetEngine();
    std::string runs;
    engine->SetNextFrameCallback([&runs, engine, first_throws] {
      runs += "first;";
      engine->SetNextFrameCallback([&runs] { runs += "second;"; });
      if (first_throws) throw std::runtime_error("no frame");
    });
    testing::internal::CaptureStderr();
    const bool both_ran =
        PumpMessagesUntil([&runs] { return runs.size() > 6; }, kLimitMs);
    PumpMessagesFor(100);
    EXPECT_EQ(
        testing::internal::GetCapturedStderr(),
        first_throws ? "Error: Next-frame callback failed: no frame\n" : "");
    ASSERT_TRUE(both_ran);
    EXPECT_EQ(runs, "first;second;");
  }
}

TEST_F(FlutterViewControllerTest, FrameCallbackReplacedBeforeTheFrameRunsOnce) {
  FlutterViewController controller(64, 48, EngineProject(L"data"));
  ASSERT_NE(controller.GetView(), nullptr);
  std::string runs;
  controller.GetEngine()->SetNextFrameCallback([&runs] { runs += "old;"; });
  controller.GetEngine()->SetNextFrameCallback([&runs] { runs += "new;"; });
  // Two registrations give two engine calls; the second finds nothing.
  ASSERT_TRUE(PumpMessagesUntil(
      [this] { return WithPrefix(Transcript(), "frame").size() == 2; },
      kLimitMs));
  EXPECT_EQ(runs, "new;");
}

// A handler keeps its result past the engine's shutdown: the stand-in sees
// the reference still held, and the late answer is dropped without a word.
TEST_F(FlutterViewControllerTest, AnswerAfterShutdownIsDropped) {
  WriteWholeFile(script_path_, "send chan 070470696e6700\n");
  const ScopedEnvironmentVariable script(L"STANDIN_ENGINE_SCRIPT",
                                         script_path_.c_str());
  std::unique_ptr<MethodResult<>> kept;
  {
    engine_test::HostWindow host(0, 0, 64, 48);
    ASSERT_TRUE(host.Start(EngineProject(L"data")));
    MethodChannel<> channel(host.controller()->GetEngine()->GetMessenger(),
                            "chan", &StandardMethodCodec::GetInstance());
    channel.SetCallHandler(
        [&kept](const MethodCall<>&, std::unique_ptr<MethodResult<>> result) {
          kept = std::move(result);
        });
    ASSERT_TRUE(
        PumpMessagesUntil([&kept] { return kept != nullptr; }, kLimitMs));
  }
  EXPECT_EQ(Transcript().back(), "shutdown refs=1");
  testing::internal::CaptureStderr();
  kept->Success(EncodableValue(true));
  kept.reset();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(WithPrefix(Transcript(), "reply"), Lines{});
  EXPECT_EQ(WithPrefix(Transcript(), "error"), Lines{});
}

}  // namespace
}  // namespace flutter
