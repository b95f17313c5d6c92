// Soak of keelhaven.exe as a whole: one host from the bundle plays many
// establish/stats/teardown sessions through the stand-in engine's script,
// with the stand-in WireGuard tools installed where WireGuard for Windows
// installs itself. The script pauses after a warm-up and after the last
// session; in each pause this program measures the host from outside:
// its entries in the system's handle table, its private bytes and its
// USER/GDI objects. After the host has exited it checks that nothing is
// left behind: no tool process, no configuration file, no tunnel service.
//
//   host_soak.exe [--sessions=N]      (N >= 1, default 50)
//
// Runs only under Wine: it replaces C:\Program Files\WireGuard and deletes
// the host's configuration file, which on a real machine belong to the
// user. Exit code 1 when the run or a check failed.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "bench/process_figures.h"
#include "standins/channel_tool/channel_text.h"
#include "tests/e2e/host_process.h"
#include "tests/standins/standin_wireguard.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wine.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"
// After windows.h:
#include <tlhelp32.h>

namespace {

constexpr int kDefaultSessions = 50;
constexpr int kWarmUpSessions = 3;
constexpr int kRepliesPerSession = 3;
// The script's pauses, and how far into one the sample is taken.
constexpr int kPauseMs = 5000;
constexpr DWORD kSettleMs = 1500;
constexpr char kChannel[] = "com.daltic.halberdix/wireguard";

std::string SendLine(const std::string& method,
                     const std::vector<channel_text::Parameter>& parameters) {
  return std::string("send ") + kChannel + " " +
         ToHex(channel_text::EncodeCall(method, parameters)) + "\n";
}

std::string Sessions(int count) {
  const std::string session = SendLine("establishTunnel", EstablishFields()) +
                              SendLine("getTunnelStats", {}) +
                              SendLine("tearDownTunnel", {});
  std::string text;
  for (int i = 0; i < count; ++i) text += session;
  return text;
}

std::vector<std::string> Replies(const std::wstring& transcript) {
  std::vector<std::string> replies;
  const std::string text = ReadWholeFile(transcript);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line.compare(0, 6, "reply ") == 0) replies.push_back(line);
    start = end + 1;
  }
  return replies;
}

// Waits until the transcript holds `count` replies; false when the host
// ended first.
bool WaitForReplies(const std::wstring& transcript, size_t count,
                    HANDLE process) {
  while (Replies(transcript).size() < count) {
    if (::WaitForSingleObject(process, 100) != WAIT_TIMEOUT) return false;
  }
  return true;
}

// Processes still running that the host started, or the host itself.
int CountLeftProcesses(DWORD host_id) {
  const UniqueFileHandle snapshot(
      ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return -1;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    count +=
        entry.th32ProcessID == host_id || entry.th32ParentProcessID == host_id;
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  const int sessions = CountOption(argc, argv, "--sessions=", kDefaultSessions);
  if (sessions < 1) {
    std::printf("usage: host_soak.exe [--sessions=N]\n");
    return 2;
  }
  if (!RunningUnderWine()) {
    std::printf(
        "host_soak runs only under Wine: it replaces "
        "C:\\Program Files\\WireGuard\n");
    return 2;
  }

  // The tools keep their state in a folder of this run, named in the
  // environment that the host and, through it, the tools inherit.
  StandinWireGuard standin;
  DeleteTree(HostConfigFile());
  DeleteTree(kWireGuardFolder);
  if (!CopyStandinTools(kWireGuardFolder)) {
    std::printf("could not install the stand-in tools\n");
    return 1;
  }

  TempFolder work;
  const std::wstring script = work.Join(L"script.txt");
  const std::wstring transcript = work.Join(L"transcript.txt");
  const std::string pause = "wait " + std::to_string(kPauseMs) + "\n";
  WriteWholeFile(script, Sessions(kWarmUpSessions) + pause +
                             Sessions(sessions) + pause + "close\n");
  const std::wstring arguments =
      L"\"--script=" + script + L"\" \"--transcript=" + transcript + L"\"";

  std::printf(
      "keelhaven.exe: %d establish/stats/teardown sessions after %d "
      "warm-up sessions, measured from outside\n",
      sessions, kWarmUpSessions);
  std::fflush(stdout);
  const size_t warm_replies = kWarmUpSessions * kRepliesPerSession;
  const size_t all_replies = warm_replies + sessions * kRepliesPerSession;
  ProcessFigures start, end;
  bool sampled = false;
  DWORD host_id = 0;
  // The sample is taken well inside the script's pause; the reply count
  // is checked again afterwards to be sure the host was idle.
  auto sample = [&](HANDLE process, DWORD id, size_t replies,
                    ProcessFigures* figures) {
    if (!WaitForReplies(transcript, replies, process)) return false;
    ::Sleep(kSettleMs);
    *figures = MeasureProcess(process, id);
    return Replies(transcript).size() == replies;
  };
  ChildOptions options;
  options.timeout_ms = 60000 + static_cast<uint32_t>(sessions) * 20000;
  options.folder = BundleFolder();
  options.wait_for_output_end = false;
  options.while_running = [&](DWORD id) {
    host_id = id;
    const UniqueKernelHandle process(::OpenProcess(
        PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, id));
    sampled = process && sample(process.get(), id, warm_replies, &start) &&
              sample(process.get(), id, all_replies, &end);
  };
  const ChildRun run = RunChild(HostExecutable(), arguments, options);

  bool ok = sampled;
  if (sampled) {
    PrintFigures("start", start);
    PrintFigures("end", end);
    PrintGrowth(start, end);
  } else {
    std::printf("no figures: the host did not reach its pauses\n");
  }
  const std::vector<std::string> replies = Replies(transcript);
  const size_t successes = std::count_if(
      replies.begin(), replies.end(), [](const std::string& line) {
        const size_t hex = line.find(' ', 6);
        return hex != std::string::npos && line.compare(hex + 1, 2, "00") == 0;
      });
  std::printf("host exit code %lu%s; replies %zu of %zu, %zu successes\n",
              static_cast<unsigned long>(run.exit_code),
              run.timed_out ? " (timed out, terminated)" : "", replies.size(),
              all_replies, successes);
  const int left_processes = host_id ? CountLeftProcesses(host_id) : -1;
  const bool config_left = FileExists(HostConfigFile());
  const bool tunnel_left = standin.IsInstalled(L"Keelhaven");
  std::printf(
      "left behind: %d processes, configuration file %s, tunnel "
      "service %s\n",
      left_processes, config_left ? "present" : "none",
      tunnel_left ? "installed" : "none");
  ok = ok && run.started && !run.timed_out && run.exit_code == 0 &&
       successes == all_replies && left_processes == 0 && !config_left &&
       !tunnel_left;

  DeleteTree(kWireGuardFolder);
  DeleteTree(HostConfigFile());
  return ok ? 0 : 1;
}
