// Carries out the fault file's line for a command (see fault_plan.h).
#ifndef KEELHAVEN_STANDINS_WIREGUARD_FAULT_EFFECTS_H_
#define KEELHAVEN_STANDINS_WIREGUARD_FAULT_EFFECTS_H_

#include <optional>
#include <string>

#include "standins/wireguard/fault_plan.h"

// Reads <state folder>\faults.txt afresh and, when it has a line for
// `command`, acts it out in this order:
//   1. close_output: close standard output and standard error;
//   2. write stdout=, then stderr=, then the bytes= pattern (to standard
//      output);
//   3. grandchild_ms: start the copy that holds the output handles;
//   4. hang: sleep for ever.
// Gives the exit code when the line has exit=, which replaces the tool's
// normal work; nothing when the tool should go on with it. A missing,
// unreadable or oversized fault file means no fault.
std::optional<int> ActOutFault(const std::wstring& state_folder,
                               FaultCommand command);

#endif  // KEELHAVEN_STANDINS_WIREGUARD_FAULT_EFFECTS_H_
