// Stand-in wireguard.exe: installs and removes tunnel "services" by keeping
// them in the state folder, with a never-started entry in the service
// manager for each. Command lines:
//   wireguard.exe /installtunnelservice <path ending in .conf>
//   wireguard.exe /uninstalltunnelservice <tunnel name>
// Success prints nothing and exits 0; a failure prints "[Error:  <reason>]"
// on standard error and exits 1.
#include <cwchar>
#include <string>

#include "standins/wireguard/console.h"
#include "standins/wireguard/fault_effects.h"
#include "standins/wireguard/file_io.h"
#include "standins/wireguard/output_holder.h"
#include "standins/wireguard/state_folder.h"
#include "standins/wireguard/tunnel_name.h"
#include "standins/wireguard/tunnel_service.h"
#include "standins/wireguard/tunnel_store.h"
#include "util/windows_include.h"

namespace {

constexpr char kUsage[] =
    "Usage: wireguard.exe /installtunnelservice CONFIG_PATH\r\n"
    "       wireguard.exe /uninstalltunnelservice TUNNEL_NAME\r\n";

constexpr char kNoService[] =
    "The specified service does not exist as an installed service.";

int Fail(const std::string& reason) {
  WriteStderr("[Error:  " + reason + "]\r\n");
  return 1;
}

int UsageError() {
  WriteStderr(kUsage);
  return 1;
}

int64_t UnixTimeNow() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const uint64_t ticks =
      (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  constexpr uint64_t kTicksFrom1601To1970 = 116444736000000000ULL;
  return static_cast<int64_t>((ticks - kTicksFrom1601To1970) / 10000000ULL);
}

std::string ReadFailure(ReadStatus status) {
  switch (status) {
    case ReadStatus::kMissing:
      return "Unable to read configuration file: it does not exist";
    case ReadStatus::kTooLarge:
      return "Unable to read configuration file: it is too large";
    default:
      return "Unable to read configuration file";
  }
}

int InstallTunnelService(const std::wstring& state_folder,
                         const std::wstring& config_path) {
  std::wstring name;
  if (!TunnelNameFromConfigPath(config_path, &name)) {
    return Fail("Path must end in either .conf.dpapi or .conf");
  }
  if (!IsValidTunnelName(name)) return Fail("Tunnel name is not valid");
  std::string config;
  const ReadStatus read = ReadSmallFile(config_path, kMaxConfigBytes, &config);
  if (read != ReadStatus::kOk) return Fail(ReadFailure(read));
  if (state_folder.empty()) return Fail("Unable to find the state folder");
  TunnelStore store(state_folder);
  // A tunnel whose service was deleted through the service manager, not
  // by this tool, is gone: its record goes too.
  if (!TunnelServiceRegistered(name)) store.Uninstall(name);
  switch (store.Install(name, config, UnixTimeNow())) {
    case TunnelStore::InstallResult::kInstalled:
      if (RegisterTunnelService(name)) return 0;
      store.Uninstall(name);
      return Fail("Unable to create the tunnel service");
    case TunnelStore::InstallResult::kAlreadyInstalled:
      return Fail("Tunnel already installed and running");
    case TunnelStore::InstallResult::kFailed:
      break;
  }
  return Fail("Unable to record the tunnel in the state folder");
}

int UninstallTunnelService(const std::wstring& state_folder,
                           const std::wstring& name) {
  // An invalid name cannot be installed, so it is simply not there. A
  // service entry without the state (a crashed install, another state
  // folder) is removed all the same, as the real tool would.
  if (!IsValidTunnelName(name)) return Fail(kNoService);
  const bool stored =
      !state_folder.empty() && TunnelStore(state_folder).Uninstall(name);
  const bool registered = DeleteTunnelService(name);
  return stored || registered ? 0 : Fail(kNoService);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (IsOutputHolderCall(argc, argv)) return RunOutputHolder(argc, argv);
  if (argc < 2) return UsageError();
  const bool install = std::wcscmp(argv[1], L"/installtunnelservice") == 0;
  const bool uninstall = std::wcscmp(argv[1], L"/uninstalltunnelservice") == 0;
  if (!install && !uninstall) return UsageError();

  const std::wstring state_folder = StateFolder();
  if (std::optional<int> exit_code =
          ActOutFault(state_folder, install ? FaultCommand::kInstall
                                            : FaultCommand::kUninstall)) {
    return *exit_code;
  }
  if (argc != 3) return UsageError();
  return install ? InstallTunnelService(state_folder, argv[2])
                 : UninstallTunnelService(state_folder, argv[2]);
}
