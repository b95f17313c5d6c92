// How this program starts WireGuard's tools, which it runs elevated and
// whose output may quote a key.
#ifndef KEELHAVEN_TUNNEL_TOOL_LAUNCH_H_
#define KEELHAVEN_TUNNEL_TOOL_LAUNCH_H_

#include <string>

#include "util/command_runner.h"

// The run of `command_line`: the program checked and held on the search
// path, when it was found there, as the application name; an environment
// of the system's own values and the system folder as current folder, so
// no setting of the user's reaches the tool; and the output's log line
// with every key hidden, after `log_filter` when one is given.
RunOptions ToolRunOptions(const std::wstring& command_line,
                          const OutputLogFilter& log_filter);

#endif  // KEELHAVEN_TUNNEL_TOOL_LAUNCH_H_
