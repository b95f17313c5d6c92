// What the engine tests share: a fixture with the stand-in engine's
// transcript read back as lines, a hidden top-level window that hosts a
// view controller the way the application's window does, and a bounded
// message loop.
#ifndef KEELHAVEN_TESTS_EMBEDDING_ENGINE_TEST_HOST_H_
#define KEELHAVEN_TESTS_EMBEDDING_ENGINE_TEST_HOST_H_

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "embedding/engine_project.h"
#include "embedding/flutter_view_controller.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_folder.h"
#include "util/windows_include.h"

namespace engine_test {

// Runs this thread's message loop until done() holds or limit_ms have
// passed; returns done().
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD limit_ms);

// Runs this thread's message loop for about ms milliseconds.
void PumpMessagesFor(DWORD ms);

// The file's lines without their line feeds.
std::vector<std::string> ReadLines(const std::wstring& path);

// "arg <index> <hex of the UTF-8 bytes>", as the stand-in writes it.
std::string ArgLine(int index, const std::string& argument);

using Lines = std::vector<std::string>;

// The stand-in engine writes its transcript into a fresh folder (named by
// the environment); no script or failure is inherited from the environment.
class StandinEngineTest : public testing::Test {
 protected:
  Lines Transcript() const { return ReadLines(transcript_path_); }

  TempFolder folder_;
  const std::wstring transcript_path_ = folder_.Join(L"transcript.txt");
  const std::wstring script_path_ = folder_.Join(L"script.txt");
  ScopedEnvironmentVariable transcript_{L"STANDIN_ENGINE_TRANSCRIPT",
                                        transcript_path_.c_str()};
  ScopedEnvironmentVariable script_{L"STANDIN_ENGINE_SCRIPT", nullptr};
  ScopedEnvironmentVariable fail_view_{L"STANDIN_ENGINE_FAIL_VIEW", nullptr};
  ScopedEnvironmentVariable fail_engine_{L"STANDIN_ENGINE_FAIL_ENGINE",
                                         nullptr};
};

// A hidden, borderless top-level window at (x, y) of width x height. Start
// creates a view controller for its client area, moves the view into it and
// shows the window at the first frame. Closing the window destroys it and,
// with it, the controller.
class HostWindow {
 public:
  HostWindow(int x, int y, int width, int height);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  bool Start(const flutter::EngineProject& project);

  HWND window() const { return window_; }
  flutter::FlutterViewController* controller() { return controller_.get(); }
  bool destroyed() const { return window_ == nullptr; }
  int frames() const { return frames_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam);

  HWND window_ = nullptr;
  std::unique_ptr<flutter::FlutterViewController> controller_;
  int frames_ = 0;
};

}  // namespace engine_test

#endif  // KEELHAVEN_TESTS_EMBEDDING_ENGINE_TEST_HOST_H_
