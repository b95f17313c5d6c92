#include "tests/e2e/host_process.h"

#include <chrono>
#include <thread>

#include "tests/support/scoped_environment.h"
#include "tests/support/temp_folder.h"
#include "tests/support/text.h"
#include "util/native_log.h"
#include "util/unique_handle.h"

namespace {

UniqueFileHandle CreateOutputFile(const std::wstring& path) {
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  return UniqueFileHandle(::CreateFileW(
      path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
      &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines = Lines(text);
  // Text-mode output turns "\r\n" written by a child into "\r\r\n".
  for (std::string& line : lines) {
    while (!line.empty() && line.back() == '\r') line.pop_back();
  }
  return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

struct SeenWindow {
  DWORD process_id = 0;
  HWND window = nullptr;
};

BOOL CALLBACK TakeHostWindow(HWND window, LPARAM context) {
  auto* seen = reinterpret_cast<SeenWindow*>(context);
  DWORD process_id = 0;
  ::GetWindowThreadProcessId(window, &process_id);
  wchar_t class_name[64] = {};
  ::GetClassNameW(window, class_name, 64);
  if (process_id != seen->process_id ||
      std::wstring(class_name) != L"FLUTTER_RUNNER_WIN32_WINDOW") {
    return TRUE;
  }
  seen->window = window;
  return FALSE;
}

}  // namespace

std::wstring BundleFolder() { return FromBuildPath(KEELHAVEN_BUNDLE_DIR); }

std::wstring HostExecutable() { return BundleFolder() + L"\\keelhaven.exe"; }

ProcessRun RunProcess(const std::wstring& application,
                      const std::wstring& command_line,
                      const std::wstring& folder, uint32_t timeout_ms,
                      const std::function<void(DWORD)>& while_running) {
  ProcessRun run;
  TempFolder outputs;
  const std::wstring out_path = outputs.Join(L"stdout.txt");
  const std::wstring err_path = outputs.Join(L"stderr.txt");
  {
    // Files rather than pipes: nothing can block on a full pipe, and a
    // grandchild that keeps a copy open can't hold the run.
    UniqueFileHandle out = CreateOutputFile(out_path);
    UniqueFileHandle err = CreateOutputFile(err_path);
    if (!out || !err) return run;

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    PROCESS_INFORMATION process = {};
    std::wstring writable = command_line;
    if (!::CreateProcessW(application.c_str(), &writable[0], nullptr, nullptr,
                          TRUE, 0, nullptr, folder.c_str(), &startup,
                          &process)) {
      return run;
    }
    run.started = true;
    const UniqueKernelHandle process_handle(process.hProcess);
    const UniqueKernelHandle thread_handle(process.hThread);
    out.reset();
    err.reset();

    if (while_running) while_running(process.dwProcessId);
    if (::WaitForSingleObject(process.hProcess, timeout_ms) != WAIT_OBJECT_0) {
      run.timed_out = true;
      ::TerminateProcess(process.hProcess, 1);
      ::WaitForSingleObject(process.hProcess, 10000);
    }
    DWORD exit_code = 0;
    ::GetExitCodeProcess(process.hProcess, &exit_code);
    run.exit_code = exit_code;
  }
  run.out = ReadWholeFile(out_path);
  run.err = ReadWholeFile(err_path);
  return run;
}

std::vector<std::string> HostRun::ErrorLines() const {
  return SplitLines(process.err);
}

std::vector<std::string> HostRun::NativeMessages() const {
  static const std::string kPrefix = "[Keelhaven Native] ";
  std::vector<std::string> messages;
  for (const std::string& line : ErrorLines()) {
    if (StartsWith(line, kPrefix))
      messages.push_back(line.substr(kPrefix.size()));
  }
  return messages;
}

std::vector<std::string> HostRun::Replies() const {
  std::vector<std::string> replies;
  for (const std::string& line : TranscriptLines("reply ")) {
    // "reply <channel>" or "reply <channel> <hex>".
    const size_t channel_end = line.find(' ', 6);
    replies.push_back(channel_end == std::string::npos
                          ? std::string()
                          : line.substr(channel_end + 1));
  }
  return replies;
}

std::vector<std::string> HostRun::TranscriptLines(
    const std::string& prefix) const {
  std::vector<std::string> lines;
  for (const std::string& line : transcript) {
    if (StartsWith(line, prefix)) lines.push_back(line);
  }
  return lines;
}

HostRun RunHost(const HostOptions& options) {
  HostRun run;
  TempFolder work;
  const std::wstring script_path = work.Join(L"script.txt");
  const std::wstring transcript_path = work.Join(L"transcript.txt");
  WriteWholeFile(script_path, options.script);

  run.command_line = L"\"" + HostExecutable() + L"\"";
  ScopedEnvironmentVariable script_variable(
      L"STANDIN_ENGINE_SCRIPT",
      options.paths_as_arguments ? nullptr : script_path.c_str());
  ScopedEnvironmentVariable transcript_variable(
      L"STANDIN_ENGINE_TRANSCRIPT",
      options.paths_as_arguments ? nullptr : transcript_path.c_str());
  if (options.paths_as_arguments) {
    run.script_argument = "--script=" + WideToUtf8(script_path);
    run.transcript_argument = "--transcript=" + WideToUtf8(transcript_path);
    run.command_line += L" \"--script=" + script_path + L"\" \"--transcript=" +
                        transcript_path + L"\"";
  }
  if (!options.arguments.empty()) run.command_line += L" " + options.arguments;

  // The bundle is the current folder: the project's paths are relative.
  run.process = RunProcess(HostExecutable(), run.command_line, BundleFolder(),
                           options.timeout_ms, options.while_running);
  run.transcript = SplitLines(ReadWholeFile(transcript_path));
  return run;
}

HWND FindHostWindow(DWORD process_id) {
  SeenWindow seen;
  seen.process_id = process_id;
  ::EnumWindows(TakeHostWindow, reinterpret_cast<LPARAM>(&seen));
  return seen.window;
}

bool WaitUntil(const std::function<bool()>& condition, uint32_t timeout_ms) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}
