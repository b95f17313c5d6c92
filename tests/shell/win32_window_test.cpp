// The top-level window in this process: placement at several DPIs, the
// window class's lifetime, the content child, the messages it handles and
// the quit on destroy. The DPI comes from the stand-in engine library,
// which reads STANDIN_ENGINE_DPI at every call.
#include "shell/win32_window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/scoped_environment.h"

namespace {

constexpr wchar_t kClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";

class TestWindow : public Win32Window {
 public:
  explicit TestWindow(bool create_succeeds = true)
      : create_succeeds_(create_succeeds) {}

  int creates() const { return creates_; }
  int destroys() const { return static_cast<int>(destroy_handles_.size()); }
  // GetHandle() as each OnDestroy saw it, in order.
  const std::vector<HWND>& destroy_handles() const { return destroy_handles_; }
  // The title of the last created window as each OnDestroy read it while
  // that window still existed (WM_GETTEXT goes through the procedure).
  const std::vector<std::wstring>& destroy_titles() const {
    return destroy_titles_;
  }

 protected:
  bool OnCreate() override {
    ++creates_;
    created_ = GetHandle();
    return create_succeeds_;
  }
  void OnDestroy() override {
    destroy_handles_.push_back(GetHandle());
    if (!::IsWindow(created_)) return;
    wchar_t title[32] = {};
    destroy_titles_.emplace_back(title, ::GetWindowTextW(created_, title, 32));
  }

 private:
  bool create_succeeds_;
  int creates_ = 0;
  HWND created_ = nullptr;
  std::vector<HWND> destroy_handles_;
  std::vector<std::wstring> destroy_titles_;
};

std::string RectText(const RECT& rect) {
  return std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
         std::to_string(rect.right) + " " + std::to_string(rect.bottom);
}

bool ClassRegistered() {
  WNDCLASSEXW info = {};
  info.cbSize = sizeof(info);
  return ::GetClassInfoExW(::GetModuleHandleW(nullptr), kClassName, &info) != 0;
}

// The window's screen rectangle as "left top right bottom".
std::string WindowRect(HWND window) {
  RECT rect = {};
  ::GetWindowRect(window, &rect);
  return RectText(rect);
}

// Drops what is queued for this thread, reporting whether WM_QUIT was among
// it and with which exit code.
bool TakeQuit(WPARAM* exit_code) {
  bool quit = false;
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = true;
      *exit_code = message.wParam;
    }
  }
  return quit;
}

bool Create(Win32Window& window) {
  return window.Create(L"Test window", Point(10, 10), Size(1280, 720));
}

// The window is scaled by the DPI, then kept within the monitor's work area
// (the Xvfb screen the tests run on is 1920 x 1080, with no taskbar).
TEST(Win32Window, ScalesOriginAndSizeByTheMonitorDpi) {
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  ASSERT_TRUE(::GetMonitorInfoW(
      ::MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTONEAREST), &monitor));
  ASSERT_EQ(RectText(monitor.rcWork), "0 0 1920 1080");
  struct Case {
    const wchar_t* dpi;
    const char* rect;  // left, top, right, bottom
  };
  const Case cases[] = {
      {L"96", "10 10 1290 730"},
      {L"120", "12 12 1612 912"},  // 12.5 truncated to 12
      {L"72", "7 7 967 547"},      // 7.5 truncated to 7
      {L"100", "10 10 1343 760"},  // 1333.3 x 750 truncated
      // 1920 x 1080 at (15, 15) would end 15 pixels past both edges.
      {L"144", "0 0 1920 1080"},
      // 1906 x 1072 at (14, 14) would end 6 pixels below: moved up.
      {L"143", "14 8 1920 1080"},
      {L"192", "0 0 1920 1080"},  // 2560 x 1440
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "DPI " << c.dpi);
    const ScopedEnvironmentVariable dpi(L"STANDIN_ENGINE_DPI", c.dpi);
    TestWindow window;
    ASSERT_TRUE(Create(window));
    EXPECT_EQ(WindowRect(window.GetHandle()), c.rect);
  }
}

TEST(Win32Window, CreatedHiddenAndShownOnRequest) {
  TestWindow window;
  ASSERT_TRUE(Create(window));
  EXPECT_EQ(window.creates(), 1);
  EXPECT_FALSE(::IsWindowVisible(window.GetHandle()));
  EXPECT_FALSE(window.Show());  // it was hidden
  EXPECT_TRUE(::IsWindowVisible(window.GetHandle()));
  EXPECT_TRUE(window.Show());  // it was visible
  wchar_t title[32] = {};
  ::GetWindowTextW(window.GetHandle(), title, 32);
  EXPECT_STREQ(title, L"Test window");
}

TEST(Win32Window, CreateAgainReplacesTheWindow) {
  TestWindow window;
  ASSERT_TRUE(Create(window));
  const HWND first = window.GetHandle();
  // Create always begins with Destroy, which runs OnDestroy.
  EXPECT_EQ(window.destroys(), 1);
  ASSERT_TRUE(Create(window));
  EXPECT_FALSE(::IsWindow(first));
  EXPECT_NE(window.GetHandle(), nullptr);
  // Once more, for the old window.
  EXPECT_EQ(window.destroys(), 2);
}

// OnDestroy runs once per window, after the handle has been let go (a
// direct Destroy once ran it twice, and the tunnel teardown with it).
TEST(Win32Window, OnDestroyRunsOnceWhicheverWayTheWindowGoes) {
  for (const bool direct : {true, false}) {
    SCOPED_TRACE(direct ? "Destroy()" : "DestroyWindow");
    TestWindow window;
    ASSERT_TRUE(Create(window));
    const HWND created = window.GetHandle();
    ASSERT_NE(created, nullptr);
    const size_t before = window.destroy_handles().size();
    if (direct) {
      window.Destroy();
    } else {
      ::DestroyWindow(created);
    }
    EXPECT_FALSE(::IsWindow(created));
    EXPECT_EQ(window.GetHandle(), nullptr);
    const std::vector<HWND> seen(window.destroy_handles().begin() + before,
                                 window.destroy_handles().end());
    EXPECT_EQ(seen, std::vector<HWND>{nullptr});
    // Messages to the dying window still reach it once the handle is let go
    // (they once went to DefWindowProcW with a null window).
    EXPECT_EQ(window.destroy_titles(),
              std::vector<std::wstring>{L"Test window"});
  }
}

TEST(Win32Window, FailedOnCreateLeavesTheWindowToTheObject) {
  HWND created = nullptr;
  {
    TestWindow window(/*create_succeeds=*/false);
    EXPECT_FALSE(Create(window));
    created = window.GetHandle();
    EXPECT_TRUE(::IsWindow(created));
  }
  EXPECT_FALSE(::IsWindow(created));
}

TEST(Win32Window, ClassLivesAsLongAsAnyObject) {
  ASSERT_FALSE(ClassRegistered());
  auto first = std::make_unique<TestWindow>();
  auto second = std::make_unique<TestWindow>();
  ASSERT_TRUE(Create(*first));
  EXPECT_TRUE(ClassRegistered());
  first.reset();
  EXPECT_TRUE(ClassRegistered()) << "the second object still counts";
  second.reset();
  EXPECT_FALSE(ClassRegistered());
  // Registered anew for the next window.
  TestWindow third;
  EXPECT_TRUE(Create(third));
  EXPECT_TRUE(ClassRegistered());
}

TEST(Win32Window, FailedClassRegistrationIsTriedAgain) {
  ASSERT_FALSE(ClassRegistered());
  // A class of the same name, not ours, makes the first registration fail.
  WNDCLASSW other = {};
  other.lpfnWndProc = ::DefWindowProcW;
  other.hInstance = ::GetModuleHandleW(nullptr);
  other.lpszClassName = kClassName;
  ASSERT_NE(::RegisterClassW(&other), 0);
  TestWindow window;
  Create(window);
  // The window made of the other class; then the class goes.
  ::DestroyWindow(::FindWindowW(kClassName, L"Test window"));
  ASSERT_TRUE(::UnregisterClassW(kClassName, other.hInstance));
  // Registered this time (the failure was once taken for success).
  EXPECT_TRUE(Create(window));
  EXPECT_NE(window.GetHandle(), nullptr);
}

TEST(Win32Window, ContentFillsTheClientAreaAndTakesTheFocus) {
  TestWindow window;
  ASSERT_TRUE(Create(window));
  window.Show();
  const HWND content =
      ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                        window.GetHandle(), nullptr, nullptr, nullptr);
  const HWND other =
      ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                        window.GetHandle(), nullptr, nullptr, nullptr);
  ASSERT_TRUE(content && other);
  window.SetContentWindow(content);

  auto expect_filled = [&]() {
    RECT client = {};
    ::GetClientRect(window.GetHandle(), &client);
    RECT child = {};
    ::GetWindowRect(content, &child);
    ::MapWindowPoints(nullptr, window.GetHandle(),
                      reinterpret_cast<POINT*>(&child), 2);
    EXPECT_EQ(RectText(child), RectText(client));
  };
  expect_filled();
  EXPECT_EQ(::GetFocus(), content);

  // Resizing the window resizes the content with it.
  ::SetWindowPos(window.GetHandle(), nullptr, 0, 0, 900, 500,
                 SWP_NOMOVE | SWP_NOZORDER);
  expect_filled();

  // Activation hands the focus back to the content.
  ::SetFocus(other);
  ASSERT_EQ(::GetFocus(), other);
  ::SendMessageW(window.GetHandle(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(::GetFocus(), content);
}

TEST(Win32Window, DpiChangeTakesTheSuggestedRectangle) {
  TestWindow window;
  ASSERT_TRUE(Create(window));
  RECT suggested = {40, 50, 40 + 1600, 50 + 900};
  EXPECT_EQ(
      ::SendMessageW(window.GetHandle(), WM_DPICHANGED, MAKEWPARAM(120, 120),
                     reinterpret_cast<LPARAM>(&suggested)),
      0);
  EXPECT_EQ(WindowRect(window.GetHandle()), "40 50 1640 950");
}

TEST(Win32Window, ClosingEndsTheLoopOnlyWhenAskedTo) {
  for (bool post_quit : {false, true}) {
    SCOPED_TRACE(post_quit ? "quit on destroy" : "no quit");
    WPARAM exit_code = 99;
    TakeQuit(&exit_code);
    TestWindow window;
    ASSERT_TRUE(Create(window));
    window.SetPostQuitOnDestroy(post_quit);
    const int destroys = window.destroys();
    // As when the user closes it: the system destroys the window.
    ::DestroyWindow(window.GetHandle());
    EXPECT_EQ(window.GetHandle(), nullptr);
    EXPECT_EQ(window.destroys(), destroys + 1);
    // The handle is already let go when OnDestroy runs.
    EXPECT_EQ(window.destroy_handles().back(), nullptr);
    EXPECT_EQ(TakeQuit(&exit_code), post_quit);
    if (post_quit) {
      EXPECT_EQ(exit_code, 0u);
    }
  }
}

}  // namespace
