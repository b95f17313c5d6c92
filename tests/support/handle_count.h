// Counts the kernel handles this process holds, to find leaks. Windows has
// GetProcessHandleCount, but Wine answers it with 0, so the count comes from
// the system's handle table instead (SystemExtendedHandleInformation), which
// both report.
#ifndef KEELHAVEN_TESTS_SUPPORT_HANDLE_COUNT_H_
#define KEELHAVEN_TESTS_SUPPORT_HANDLE_COUNT_H_

#include <cstddef>

// The number of open handles of the calling process, or -1 when the table
// can't be read.
std::ptrdiff_t CountOwnHandles();

#endif  // KEELHAVEN_TESTS_SUPPORT_HANDLE_COUNT_H_
