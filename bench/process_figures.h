// What a soak looks at in a process: its kernel handles (from the system's
// handle table, which Wine fills too), private bytes and USER/GDI objects,
// taken at two moments and compared against the goals "no handle growth"
// and "private bytes grow by less than 1 MiB". Under Wine, USER and GDI
// counts read 0 (GetGuiResources is not implemented there).
#ifndef KEELHAVEN_BENCH_PROCESS_FIGURES_H_
#define KEELHAVEN_BENCH_PROCESS_FIGURES_H_

#include <cstddef>
#include <cstdint>

#include "util/windows_include.h"

struct ProcessFigures {
  std::ptrdiff_t handles = -1;  // -1: the handle table could not be read
  uint64_t private_bytes = 0;
  DWORD user_objects = 0;
  DWORD gdi_objects = 0;
};

// `process` needs PROCESS_QUERY_INFORMATION and PROCESS_VM_READ.
ProcessFigures MeasureProcess(HANDLE process, DWORD process_id);
ProcessFigures MeasureOwnProcess();

// One line: "<label>  handles N  private KiB N  USER N  GDI N".
void PrintFigures(const char* label, const ProcessFigures& figures);

// Prints the growth from `start` to `end` and whether it stays within the
// goals; returns that.
bool PrintGrowth(const ProcessFigures& start, const ProcessFigures& end);

#endif  // KEELHAVEN_BENCH_PROCESS_FIGURES_H_
