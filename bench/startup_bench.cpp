// Start-up of keelhaven.exe from the bundle (stand-in engine, WireGuard for
// Windows not installed) against bare_window.exe, the least a program does
// to show a window. One run, the two alternating pair by pair after one
// warm-up pair. Each measurement runs from just before CreateProcessW to the
// moment this program first sees a visible top-level window of the child's
// process with the child's window class; then the window gets WM_CLOSE and
// the child is waited for.
//
//   startup_bench.exe [--runs=N]      (N >= 1, default 41)
//
// Prints min/median/max of each in milliseconds, the ratio of the medians
// and the median of the pair-by-pair ratios. The goal is keelhaven.exe at
// no more than 1.2 times the bare window.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "shell/win32_window.h"
#include "tests/support/files.h"
#include "tests/support/process_window.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

constexpr int kDefaultRuns = 41;
constexpr double kGoalRatio = 1.2;
constexpr DWORD kWindowTimeoutMs = 60000;
constexpr DWORD kExitTimeoutMs = 30000;

struct Program {
  const char* name;
  std::wstring path;
  std::wstring folder;  // the current folder it runs in
  const wchar_t* window_class;
};

struct Summary {
  double min = 0, median = 0, max = 0;
};

Summary Summarise(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  const double median =
      n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  return {values.front(), median, values.back()};
}

std::wstring OwnFolder() {
  wchar_t buffer[MAX_PATH * 4] = {};
  std::wstring path(buffer,
                    ::GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4));
  return path.substr(0, path.find_last_of(L'\\'));
}

// Milliseconds from start to the visible window, or a negative number when
// the run failed (said on standard output).
double MeasureOnce(const Program& program, HANDLE null_device) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = null_device;
  std::wstring command_line = L"\"" + program.path + L"\"";
  PROCESS_INFORMATION info = {};

  const double start = NowMs();
  if (!::CreateProcessW(program.path.c_str(), &command_line[0], nullptr,
                        nullptr, TRUE, 0, nullptr, program.folder.c_str(),
                        &startup, &info)) {
    std::printf("%s: could not start (error %lu)\n", program.name,
                ::GetLastError());
    return -1;
  }
  const UniqueKernelHandle process(info.hProcess);
  const UniqueKernelHandle thread(info.hThread);

  HWND found = nullptr;
  double shown = -1;
  // Polls about every millisecond; the wait on the process doubles as the
  // pause and notices a child that ends without a window.
  while (NowMs() - start < kWindowTimeoutMs &&
         ::WaitForSingleObject(process.get(), 1) == WAIT_TIMEOUT) {
    found = FindProcessWindow(info.dwProcessId, program.window_class);
    if (found != nullptr && ::IsWindowVisible(found)) {
      shown = NowMs() - start;
      break;
    }
  }
  if (shown < 0) {
    std::printf("%s: no visible window\n", program.name);
  } else {
    ::PostMessageW(found, WM_CLOSE, 0, 0);
  }
  if (::WaitForSingleObject(process.get(), kExitTimeoutMs) != WAIT_OBJECT_0) {
    std::printf("%s: did not exit; terminated\n", program.name);
    ::TerminateProcess(process.get(), 1);
    ::WaitForSingleObject(process.get(), kExitTimeoutMs);
    return -1;
  }
  DWORD exit_code = 0;
  ::GetExitCodeProcess(process.get(), &exit_code);
  if (exit_code != 0) {
    std::printf("%s: exit code %lu\n", program.name, exit_code);
    return -1;
  }
  return shown;
}

void PrintSummary(const char* name, const Summary& s) {
  std::printf("%-16s min %8.1f ms  median %8.1f ms  max %8.1f ms\n", name,
              s.min, s.median, s.max);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = CountOption(argc, argv, "--runs=", kDefaultRuns);
  if (runs < 1) {
    std::printf("usage: startup_bench.exe [--runs=N]\n");
    return 2;
  }

  const std::wstring bundle = FromBuildPath(KEELHAVEN_BUNDLE_DIR);
  const Program host = {"keelhaven.exe", bundle + L"\\keelhaven.exe", bundle,
                        kWindowClassName};
  const Program bare = {"bare_window.exe", OwnFolder() + L"\\bare_window.exe",
                        OwnFolder(), L"KEELHAVEN_BENCH_BARE_WINDOW"};
  // With WireGuard for Windows found, the host would also run its look for
  // a leftover tunnel during start-up.
  for (const wchar_t* folder : {L"C:\\Program Files\\WireGuard",
                                L"C:\\Program Files (x86)\\WireGuard"}) {
    if (FileExists(std::wstring(folder) + L"\\wireguard.exe")) {
      std::printf(
          "WireGuard for Windows is installed in %ls; this bench "
          "measures start-up without it\n",
          folder);
      return 2;
    }
  }

  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  const UniqueFileHandle null_device(
      ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inheritable, OPEN_EXISTING, 0, nullptr));
  if (!null_device) return 1;

  std::printf("start-up to a visible window, %d runs each, alternating\n",
              runs);
  std::fflush(stdout);
  if (MeasureOnce(host, null_device.get()) < 0 ||
      MeasureOnce(bare, null_device.get()) < 0) {
    return 1;
  }
  std::vector<double> host_ms, bare_ms, ratios;
  for (int i = 0; i < runs; ++i) {
    const double h = MeasureOnce(host, null_device.get());
    const double b = MeasureOnce(bare, null_device.get());
    if (h < 0 || b < 0) return 1;
    host_ms.push_back(h);
    bare_ms.push_back(b);
    ratios.push_back(h / b);
  }
  const Summary h = Summarise(host_ms);
  const Summary b = Summarise(bare_ms);
  const Summary r = Summarise(ratios);
  PrintSummary(host.name, h);
  PrintSummary(bare.name, b);
  std::printf(
      "ratio of medians %.2f; pair-by-pair ratio min %.2f median %.2f "
      "max %.2f\n",
      h.median / b.median, r.min, r.median, r.max);
  std::printf("goal (keelhaven.exe <= %.1f x the bare window): %s\n",
              kGoalRatio, h.median / b.median <= kGoalRatio ? "met" : "MISSED");
  return 0;
}
