#include "bench/process_figures.h"

#include <cstdio>

#include "tests/support/handle_count.h"
// After windows.h:
#include <psapi.h>

namespace {

constexpr int64_t kPrivateBytesGoal = 1 << 20;

}  // namespace

ProcessFigures MeasureProcess(HANDLE process, DWORD process_id) {
  ProcessFigures figures;
  figures.handles = CountProcessHandles(process_id);
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof(memory);
  if (::GetProcessMemoryInfo(
          process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
          sizeof(memory))) {
    // Wine fills only the basic counters (cb says so); there the commit
    // charge, which Windows reports as both, is in PagefileUsage.
    figures.private_bytes = memory.cb >= sizeof(memory) && memory.PrivateUsage
                                ? memory.PrivateUsage
                                : memory.PagefileUsage;
  }
  figures.user_objects = ::GetGuiResources(process, GR_USEROBJECTS);
  figures.gdi_objects = ::GetGuiResources(process, GR_GDIOBJECTS);
  return figures;
}

ProcessFigures MeasureOwnProcess() {
  return MeasureProcess(::GetCurrentProcess(), ::GetCurrentProcessId());
}

void PrintFigures(const char* label, const ProcessFigures& figures) {
  std::printf("%-12s handles %5td  private %8.1f KiB  USER %4lu  GDI %4lu\n",
              label, figures.handles,
              static_cast<double>(figures.private_bytes) / 1024.0,
              static_cast<unsigned long>(figures.user_objects),
              static_cast<unsigned long>(figures.gdi_objects));
  std::fflush(stdout);
}

bool PrintGrowth(const ProcessFigures& start, const ProcessFigures& end) {
  const std::ptrdiff_t handles = end.handles - start.handles;
  const int64_t bytes = static_cast<int64_t>(end.private_bytes) -
                        static_cast<int64_t>(start.private_bytes);
  const long user = static_cast<long>(end.user_objects) -
                    static_cast<long>(start.user_objects);
  const long gdi =
      static_cast<long>(end.gdi_objects) - static_cast<long>(start.gdi_objects);
  const bool readable = start.handles >= 0 && end.handles >= 0;
  const bool met = readable && handles <= 0 && user <= 0 && gdi <= 0 &&
                   bytes < kPrivateBytesGoal;
  std::printf(
      "growth       handles %+5td  private %+8.1f KiB  USER %+4ld  GDI %+4ld\n"
      "goal (no handle or USER/GDI growth, private bytes < 1 MiB): %s\n",
      handles, static_cast<double>(bytes) / 1024.0, user, gdi,
      !readable ? "handle table unreadable"
      : met     ? "met"
                : "MISSED");
  std::fflush(stdout);
  return met;
}
