// What the command runner costs over the bare process calls, measured under
// Wine in one run (Google Benchmark is not available for MinGW here, so the
// program times itself):
//   1. a trivial child: RunCommand (pipe, job object, inherit list) against
//      CreateProcessW + WaitForSingleObject;
//   2. 16 MiB of output: RunCommand against a blocking ReadFile loop on an
//      anonymous pipe, once as the product logs (the whole output in the
//      log line) and once with a log filter that shortens that line.
// The program re-runs itself as the child ("--child=silent", "--child=big").
// The runner's log goes to NUL so the console doesn't dominate the numbers.
// Usage: command_runner_bench [runs] (default 7; the median is reported).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "util/command_runner.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

int g_runs = 7;
constexpr size_t kBigOutput = 16u << 20;

std::wstring OwnPath() {
  wchar_t buffer[MAX_PATH * 4] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
  return std::wstring(buffer, length);
}

std::wstring ChildCommand(const wchar_t* mode) {
  return L"\"" + OwnPath() + L"\" --child=" + mode;
}

int RunChild(const char* mode) {
  if (std::strcmp(mode, "big") != 0) return 0;
  const std::string chunk(65536, 'x');
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  for (size_t done = 0; done < kBigOutput; done += chunk.size()) {
    DWORD written = 0;
    if (!::WriteFile(out, chunk.data(), static_cast<DWORD>(chunk.size()),
                     &written, nullptr)) {
      return 1;
    }
  }
  return 0;
}

// Runs the two candidates alternately, so drift of the machine hits both.
void Compare(const char* title, const std::function<bool()>& baseline,
             const std::function<bool()>& candidate) {
  std::vector<double> base_ms, candidate_ms;
  baseline();  // warm-up
  candidate();
  for (int i = 0; i < g_runs; ++i) {
    double start = NowMs();
    if (!baseline()) std::printf("  baseline run failed\n");
    base_ms.push_back(NowMs() - start);
    start = NowMs();
    if (!candidate()) std::printf("  candidate run failed\n");
    candidate_ms.push_back(NowMs() - start);
  }
  std::sort(base_ms.begin(), base_ms.end());
  std::sort(candidate_ms.begin(), candidate_ms.end());
  const double base = base_ms[g_runs / 2];
  const double cand = candidate_ms[g_runs / 2];
  std::printf("%-58s baseline %9.2f ms  RunCommand %9.2f ms  ratio %.2f\n",
              title, base, cand, cand / base);
  std::fflush(stdout);
}

// The bare minimum: start, wait, read the exit code.
bool BareRun(const std::wstring& command) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  std::vector<wchar_t> writable(command.begin(), command.end());
  writable.push_back(L'\0');
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
    return false;
  }
  UniqueKernelHandle process(info.hProcess);
  UniqueKernelHandle thread(info.hThread);
  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 1;
  return ::GetExitCodeProcess(process.get(), &code) && code == 0;
}

// The same pipe as the runner's, drained by blocking reads until its end.
bool RawCapture(const std::wstring& command, std::string& output) {
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, TRUE};
  HANDLE read_handle = nullptr, write_handle = nullptr;
  if (!::CreatePipe(&read_handle, &write_handle, &attributes, 0)) return false;
  UniqueKernelHandle read_end(read_handle), write_end(write_handle);
  ::SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = write_end.get();
  std::vector<wchar_t> writable(command.begin(), command.end());
  writable.push_back(L'\0');
  PROCESS_INFORMATION info = {};
  const BOOL started =
      ::CreateProcessW(nullptr, writable.data(), nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
  write_end.reset();
  if (!started) return false;
  UniqueKernelHandle process(info.hProcess);
  UniqueKernelHandle thread(info.hThread);
  output.clear();
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(read_end.get(), buffer, 4095, &read, nullptr) && read > 0) {
    output.append(buffer, read);
  }
  ::WaitForSingleObject(process.get(), INFINITE);
  return output.size() == kBigOutput;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr char kChildFlag[] = "--child=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kChildFlag, sizeof(kChildFlag) - 1) == 0) {
      return RunChild(argv[i] + sizeof(kChildFlag) - 1);
    }
  }
  if (argc > 1) g_runs = std::max(3, std::atoi(argv[1]));
  if (std::freopen("NUL", "w", stderr) == nullptr) return 1;
  std::printf("command runner, median of %d runs each\n", g_runs);

  const std::wstring silent = ChildCommand(L"silent");
  std::string output;
  Compare(
      "trivial child: bare CreateProcessW+Wait vs RunCommand",
      [&] { return BareRun(silent); },
      [&] { return RunCommand(silent, &output, 30000) == 0; });

  const std::wstring big = ChildCommand(L"big");
  std::string raw;
  Compare(
      "16 MiB output: blocking ReadFile loop vs RunCommand (logged)",
      [&] { return RawCapture(big, raw); },
      [&] {
        return RunCommand(big, &output, 60000) == 0 &&
               output.size() == kBigOutput;
      });
  const OutputLogFilter shorten = [](const std::string& text) {
    return std::to_string(text.size()) + " bytes";
  };
  Compare(
      "16 MiB output: blocking ReadFile loop vs RunCommand (filtered)",
      [&] { return RawCapture(big, raw); },
      [&] {
        return RunCommand(big, &output, 60000, shorten) == 0 &&
               output.size() == kBigOutput;
      });
  return 0;
}
