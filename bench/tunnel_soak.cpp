// Soak of the tunnel class in this process: establish, stats and teardown
// through TunnelController::HandleTunnelMethodCall, many times over, with
// the tunnel tests' fixture: the stand-in WireGuard tools (real child
// processes) in a temporary folder, a temporary configuration folder and a
// sleeper that records instead of waiting. Reports this process's handles,
// private bytes and USER/GDI objects after a warm-up and at the end, and
// every 250 cycles.
//
//   tunnel_soak.exe [--cycles=N]      (N >= 1, default 1000)
//
// The native log goes to NUL. Exit code 1 when a reply was not the
// expected success, or the tunnel was left up.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "bench/process_figures.h"
#include "tests/support/tunnel_fixture.h"
#include "util/windows_include.h"

namespace {

using flutter::EncodableValue;

constexpr int kDefaultCycles = 1000;
constexpr int kWarmUpCycles = 5;
constexpr int kReportEvery = 250;

class Soak {
 public:
  // One establish, stats, teardown; false when a reply was not a success
  // or the tunnel is still marked up.
  bool Cycle() {
    const bool ok =
        Call("establishTunnel",
             std::make_unique<EncodableValue>(EstablishParameters())) &&
        Call("getTunnelStats") && Call("tearDownTunnel") &&
        !controller_.tunnel_active();
    fixture_.sleeper.clear();
    fixture_.runs.clear();
    return ok;
  }

 private:
  // True when the call was answered once, with a success envelope.
  bool Call(const std::string& method,
            std::unique_ptr<EncodableValue> arguments = nullptr) {
    const MethodReply reply =
        CallTunnelMethod(controller_, method, std::move(arguments));
    if (!reply.succeeded()) {
      std::printf(
          "%s: %d replies, %s\n", method.c_str(), reply.replies,
          reply.bytes.empty() || reply.bytes[0] ? "not a success" : "success");
    }
    return reply.succeeded();
  }

  TunnelFixture fixture_;
  TunnelController controller_{fixture_.System()};
};

}  // namespace

int main(int argc, char** argv) {
  const int cycles = CountOption(argc, argv, "--cycles=", kDefaultCycles);
  if (cycles < 1) {
    std::printf("usage: tunnel_soak.exe [--cycles=N]\n");
    return 2;
  }
  if (std::freopen("NUL", "w", stderr) == nullptr) return 1;

  std::printf(
      "tunnel class in-process: %d establish/stats/teardown cycles "
      "after %d warm-up cycles\n",
      cycles, kWarmUpCycles);
  int failed = 0;
  {
    Soak soak;
    for (int i = 0; i < kWarmUpCycles; ++i) failed += !soak.Cycle();
    const ProcessFigures start = MeasureOwnProcess();
    PrintFigures("start", start);
    const ULONGLONG started = ::GetTickCount64();
    ProcessFigures end = start;
    for (int i = 1; i <= cycles; ++i) {
      failed += !soak.Cycle();
      if (i % kReportEvery == 0 || i == cycles) {
        end = MeasureOwnProcess();
        PrintFigures(("cycle " + std::to_string(i)).c_str(), end);
        std::printf("             %.1f s since start\n",
                    (::GetTickCount64() - started) / 1000.0);
      }
    }
    PrintGrowth(start, end);
  }
  std::printf("failed cycles: %d\n", failed);
  return failed == 0 ? 0 : 1;
}
