// The engine wrapper against the stand-in engine library, read back from the
// stand-in's transcript.
#include "embedding/flutter_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_test_host.h"

namespace flutter {
namespace {

using engine_test::ArgLine;
using engine_test::Lines;
using FlutterEngineTest = engine_test::StandinEngineTest;

TEST_F(FlutterEngineTest, PassesPathsAndArgumentsInOrder) {
  struct Case {
    const char* name;
    std::wstring base;
    std::vector<std::string> arguments;
    Lines argument_lines;
    const char* assets;
  };
  const Case cases[] = {
      {"no arguments: count 0, null array",
       L"data",
       {},
       {"args 0", "argv null"},
       "assets data\\flutter_assets"},
      {"two arguments, in order",
       L"data",
       {"a", "b"},
       {"args 2", ArgLine(0, "a"), ArgLine(1, "b")},
       "assets data\\flutter_assets"},
      {"UTF-8 and spaces pass unchanged",
       L"C:\\app\\",
       {"--name=Ren\xc3\xa9 B", ""},
       {"args 2", "arg 0 2d2d6e616d653d52656ec3a92042", "arg 1 "},
       "assets C:\\app\\\\flutter_assets"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      EngineProject project(c.base);
      project.SetEntrypointArguments(c.arguments);
      FlutterEngine engine(project);
      ASSERT_NE(engine.GetMessenger(), nullptr);
    }
    Lines expected = c.argument_lines;
    const std::string base(c.base.begin(), c.base.end());
    expected.push_back(c.assets);
    expected.push_back("icu " + base + "\\icudtl.dat");
    expected.push_back("aot " + base + "\\app.so");
    // The engine object still owned the engine, so it shut it down.
    expected.push_back("shutdown refs=0");
    EXPECT_EQ(Transcript(), expected);
  }
}

TEST_F(FlutterEngineTest, ReleasedEngineIsNotDestroyedByTheWrapper) {
  FlutterDesktopEngineRef handle = nullptr;
  {
    FlutterEngine engine(EngineProject(L"data"));
    handle = engine.ReleaseEngineHandle();
    ASSERT_NE(handle, nullptr);
  }
  EXPECT_EQ(Transcript().back(), "aot data\\app.so");
  EXPECT_TRUE(FlutterDesktopEngineDestroy(handle));
  EXPECT_EQ(Transcript().back(), "shutdown refs=0");
}

TEST_F(FlutterEngineTest, GivesTheRegistrarOfARunningEngine) {
  FlutterEngine engine(EngineProject(L"data"));
  testing::internal::CaptureStderr();
  EXPECT_NE(engine.GetPluginRegistrar("any"), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(FlutterEngineTest, RefusedEngineLeavesNoMessengerAndNoRegistrar) {
  const ScopedEnvironmentVariable fail(L"STANDIN_ENGINE_FAIL_ENGINE", L"1");
  FlutterEngine engine(EngineProject(L"data"));
  EXPECT_EQ(engine.GetMessenger(), nullptr);
  testing::internal::CaptureStderr();
  EXPECT_EQ(engine.GetPluginRegistrar("any"), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Cannot get plugin registrar on an engine that isn't running; "
            "the engine library refused to create it.\n");
  // Registering a frame callback on no engine is harmless and never runs.
  bool ran = false;
  engine.SetNextFrameCallback([&ran] { ran = true; });
  engine_test::PumpMessagesFor(50);
  EXPECT_FALSE(ran);
  EXPECT_EQ(Transcript(), Lines{});
}

TEST(EngineDpiTest, ReportsTheConfiguredMonitorDpi) {
  struct Case {
    const wchar_t* value;
    uint32_t dpi;
  };
  const Case cases[] = {
      {nullptr, 96}, {L"144", 144}, {L"120", 120}, {L"x1", 96}, {L"0", 96},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dpi);
    const ScopedEnvironmentVariable dpi(L"STANDIN_ENGINE_DPI", c.value);
    EXPECT_EQ(FlutterDesktopGetDpiForMonitor(nullptr), c.dpi);
  }
}

}  // namespace
}  // namespace flutter
