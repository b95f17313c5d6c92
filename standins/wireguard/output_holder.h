// The grandchild of the grandchild_ms fault: a second copy of the tool that
// inherits the standard output and standard error handles and keeps them
// open for a while after the tool itself has exited, as a background
// process started by a real tool might.
#ifndef KEELHAVEN_STANDINS_WIREGUARD_OUTPUT_HOLDER_H_
#define KEELHAVEN_STANDINS_WIREGUARD_OUTPUT_HOLDER_H_

#include <cstdint>

// The hidden command line of the copy:
//   <tool> --standin-hold-output <milliseconds> <inherited process handle>
constexpr wchar_t kHoldOutputSwitch[] = L"--standin-hold-output";

// Starts the copy: it waits until this process has exited, then holds the
// handles `hold_ms` more milliseconds. False when it could not be started.
bool StartOutputHolder(uint32_t hold_ms);

// True when the command line asks for the copy's work.
bool IsOutputHolderCall(int argc, wchar_t** argv);

// The copy's work; gives the exit code (0; 1 for a malformed command line).
// Every wait is bounded by kMaxFaultMilliseconds.
int RunOutputHolder(int argc, wchar_t** argv);

#endif  // KEELHAVEN_STANDINS_WIREGUARD_OUTPUT_HOLDER_H_
