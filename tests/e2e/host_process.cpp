#include "tests/e2e/host_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "shell/win32_window.h"
#include "tests/support/files.h"
#include "tests/support/process_window.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_folder.h"
#include "tests/support/text.h"
#include "util/native_log.h"
// After windows.h:
#include <shlobj.h>

namespace {

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

}  // namespace

std::wstring BundleFolder() { return FromBuildPath(KEELHAVEN_BUNDLE_DIR); }

std::wstring HostExecutable() { return BundleFolder() + L"\\keelhaven.exe"; }

const wchar_t kWireGuardFolder[] = L"C:\\Program Files\\WireGuard";

std::wstring HostConfigFile() {
  wchar_t common[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                     common);
  return std::wstring(common) + L"\\Keelhaven\\Keelhaven.conf";
}

std::vector<std::string> HostRun::ErrorLines() const {
  return SplitLines(process.err);
}

std::vector<std::string> HostRun::NativeMessages() const {
  std::string text;
  for (const std::string& line : ErrorLines()) text += line + "\n";
  return ::NativeMessages(text);
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

  std::wstring arguments;
  ScopedEnvironmentVariable script_variable(
      L"STANDIN_ENGINE_SCRIPT",
      options.paths_as_arguments ? nullptr : script_path.c_str());
  ScopedEnvironmentVariable transcript_variable(
      L"STANDIN_ENGINE_TRANSCRIPT",
      options.paths_as_arguments ? nullptr : transcript_path.c_str());
  if (options.paths_as_arguments) {
    run.script_argument = "--script=" + WideToUtf8(script_path);
    run.transcript_argument = "--transcript=" + WideToUtf8(transcript_path);
    arguments = L"\"--script=" + script_path + L"\" \"--transcript=" +
                transcript_path + L"\"";
  }
  if (!options.arguments.empty()) {
    arguments += (arguments.empty() ? L"" : L" ") + options.arguments;
  }
  // The bundle is the current folder: the project's paths are relative.
  run.process =
      RunChild(HostExecutable(), arguments,
               {options.timeout_ms, BundleFolder(), options.while_running,
                false, options.standard_handles});
  run.transcript = SplitLines(ReadWholeFile(transcript_path));
  EXPECT_FALSE(run.process.timed_out) << run.process.err;
  EXPECT_EQ(run.process.exit_code, options.exit_code) << run.process.err;
  return run;
}

HWND FindHostWindow(DWORD process_id) {
  return FindProcessWindow(process_id, kWindowClassName);
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
