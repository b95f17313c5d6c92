// Counts the kernel handles a process holds, to find leaks. Windows has
// GetProcessHandleCount, but Wine answers it with 0, so the count comes from
// the system's handle table instead (SystemExtendedHandleInformation), which
// both report.
#ifndef KEELHAVEN_TESTS_SUPPORT_HANDLE_COUNT_H_
#define KEELHAVEN_TESTS_SUPPORT_HANDLE_COUNT_H_

#include <cstddef>

// The number of open handles of the process with that id, or -1 when the
// table can't be read.
std::ptrdiff_t CountProcessHandles(unsigned long process_id);

// The same for the calling process.
std::ptrdiff_t CountOwnHandles();

#endif  // KEELHAVEN_TESTS_SUPPORT_HANDLE_COUNT_H_
