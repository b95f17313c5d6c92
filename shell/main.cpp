// The process entry: console, COM, the engine project with the command-line
// arguments, the window, and the message loop.
#include <string>
#include <utility>
#include <vector>

#include "embedding/engine_project.h"
#include "shell/cleanup_switch.h"
#include "shell/console_close.h"
#include "shell/flutter_window.h"
#include "shell/single_instance.h"
#include "shell/utils.h"
#include "tunnel/config_folder.h"
#include "util/native_log.h"
#include "util/windows_include.h"
// After windows.h:
#include <objbase.h>

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitWindowFailed = 1;
// Another copy runs already; this one did nothing.
constexpr int kExitAlreadyRunning = 2;

}  // namespace

int APIENTRY wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/,
                      wchar_t* /*command_line*/, int /*show_command*/) {
  // Running elevated: DLLs load only from System32 and the program's own
  // folder (the engine library sits beside the executable), and a program
  // search looks in the current folder only after the system's folders.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32 |
                             LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
  ::SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE |
                      BASE_SEARCH_PATH_PERMANENT);

  // Output goes to the console of whoever started the program; under a
  // debugger without one, to a console of its own.
  if (!::AttachConsole(ATTACH_PARENT_PROCESS) && ::IsDebuggerPresent()) {
    AttachNewConsole();
  }
  PrepareDiagnosticOutput();

  // Before anything touches the configuration folder, the tunnel or its
  // service: a second copy leaves them all to the first.
  const SingleInstance instance;
  if (!instance.first()) {
    NativeLog("Keelhaven is already running; bringing its window to the front");
    BringRunningCopyToFront();
    return kExitAlreadyRunning;
  }

  // The installer's clean-up run: no log file, no window, no engine.
  if (HasCleanupSwitch(ReadCommandLineArguments())) return RunCleanup();

  // The configuration folder is taken (made private, or moved aside and
  // made anew) and held for the whole run; every native log line also goes
  // to keelhaven.log in it, so a host started from the desktop (no console)
  // still leaves a log. When the folder is refused there is no log file.
  SetNativeLogFile(HoldConfigFolder(), L"keelhaven.log");

  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  // A relative folder: the program runs from its own folder.
  flutter::EngineProject project(L"data");
  project.SetEntrypointArguments(ReadCommandLineArguments());

  FlutterWindow window(project);
  const Point origin(10, 10);
  const Size size(1280, 720);
  if (!window.Create(kHostWindowTitle, origin, size)) {
    return kExitWindowFailed;
  }
  window.SetPostQuitOnDestroy(true);
  // Closing the console the program is attached to would end it without a
  // window message: the window hears of it instead.
  ConsoleClose console_close(window.GetHandle());

  // GetMessageW gives -1 on an error; stopping there, rather than treating
  // it as a message, keeps the loop from spinning forever.
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  // WM_QUIT follows WM_DESTROY, whose handling took the tunnel down.
  console_close.TeardownDone();

  ::CoUninitialize();
  return kExitSuccess;
}
