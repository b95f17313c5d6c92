// The application's top-level window: registers the window class, creates
// the window scaled for the monitor's DPI, routes its messages, keeps one
// child window (the content) filling the client area and follows the
// user's light/dark app theme in the title bar.
//
// Everything here runs on the thread that creates the window and runs its
// message loop; the process-wide window count and class registration are
// touched only there and are not locked.
#ifndef KEELHAVEN_SHELL_WIN32_WINDOW_H_
#define KEELHAVEN_SHELL_WIN32_WINDOW_H_

#include <cstdint>
#include <string>

#include "util/windows_include.h"

// A position in logical (unscaled) pixels.
struct Point {
  int32_t x;
  int32_t y;
  Point(int32_t x, int32_t y) : x(x), y(y) {}
};

// A size in logical (unscaled) pixels.
struct Size {
  int32_t width;
  int32_t height;
  Size(int32_t width, int32_t height) : width(width), height(height) {}
};

class Win32Window {
 public:
  // Every live object counts: the window class stays registered while any
  // object exists and is unregistered when the last one goes.
  Win32Window();
  virtual ~Win32Window();

  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Destroys a window that exists already, then creates a hidden window
  // titled `title` at `origin` with outer size `size`, both scaled by the
  // DPI of the monitor nearest to `origin`, then shrunk and moved as needed
  // to lie within that monitor's work area. True when the window exists and
  // OnCreate succeeded; when OnCreate fails the window stays until Destroy
  // or the object's destruction.
  bool Create(const std::wstring& title, const Point& origin, const Size& size);

  // Makes the window visible; true when it was visible before.
  bool Show();

  // Destroys the window if it exists and runs OnDestroy (once: from the
  // window's WM_DESTROY, or here when there is no window), then unregisters
  // the window class when no object is left.
  void Destroy();

  // Makes `content` the child that fills the client area and has the focus.
  // Not owned: it belongs to whoever created it.
  void SetContentWindow(HWND content);

  // The top-level window; null while there is none.
  HWND GetHandle() const { return window_handle_; }

  // With true, destroying the window posts WM_QUIT (exit code 0) to the
  // thread's message loop.
  void SetPostQuitOnDestroy(bool quit_on_close);

  // The top-level window's client rectangle, in physical pixels.
  RECT GetClientRectangle() const;

 protected:
  // Handles the window's messages once it has an object; every handled
  // message gives 0 (WM_QUERYENDSESSION: TRUE), the rest go to
  // DefWindowProcW.
  virtual LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam,
                                LPARAM lparam) noexcept;

  // Called at the end of Create, once the window exists; false makes Create
  // fail.
  virtual bool OnCreate();

  // Called once for each window as it is destroyed, and by a Destroy when
  // there is no window.
  virtual void OnDestroy();

  // Called when the user's session ends (log-off, shutdown): the process
  // is ended soon after this returns, without the window being destroyed.
  virtual void OnEndSession();

 private:
  // The window class's procedure: ties the window to its object on
  // WM_NCCREATE and routes every later message to HandleMessage.
  static LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wparam,
                                  LPARAM lparam) noexcept;

  // Sets the title bar's dark mode from the user's "AppsUseLightTheme"
  // setting; leaves it alone when the setting can't be read.
  static void ApplySystemTheme(HWND window);

  bool post_quit_on_destroy_ = false;
  HWND window_handle_ = nullptr;
  HWND content_window_ = nullptr;
};

#endif  // KEELHAVEN_SHELL_WIN32_WINDOW_H_
