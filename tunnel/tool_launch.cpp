#include "tunnel/tool_launch.h"

#include "tunnel/path_chain_trust.h"
#include "tunnel/tunnel_stats.h"
#include "util/system_environment.h"

RunOptions ToolRunOptions(const std::wstring& command_line,
                          const OutputLogFilter& log_filter) {
  RunOptions options;
  options.log_filter = [log_filter](const std::string& output) {
    return HideKeys(log_filter ? log_filter(output) : output);
  };
  options.application_name = HeldProgramOf(command_line);
  options.environment = SystemEnvironment();
  options.current_folder = SystemFolder();
  return options;
}
