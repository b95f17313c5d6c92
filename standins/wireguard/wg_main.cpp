// Stand-in wg.exe: shows a tunnel installed by the stand-in wireguard.exe
// as the real tool shows a running interface. Command lines:
//   wg.exe show <tunnel name>        the readable layout
//   wg.exe show <tunnel name> dump   the tab-separated layout
// A tunnel that is not installed (or whose service entry is gone), or whose
// configuration lacks the private key, the peer's public key or the endpoint,
// never comes up: both print "Unable to access interface: No such file or
// directory" on standard error and exit 1. Every dump call adds 4096 received
// and 1024 sent bytes. With %WG_HIDE_KEYS% "never" the readable layout shows
// the private key.
#include <cwchar>
#include <string>

#include "standins/wireguard/console.h"
#include "standins/wireguard/fault_effects.h"
#include "standins/wireguard/output_holder.h"
#include "standins/wireguard/public_key.h"
#include "standins/wireguard/state_folder.h"
#include "standins/wireguard/tunnel_config.h"
#include "standins/wireguard/tunnel_name.h"
#include "standins/wireguard/tunnel_service.h"
#include "standins/wireguard/tunnel_store.h"
#include "standins/wireguard/wg_output.h"
#include "util/windows_include.h"

namespace {

constexpr char kUsage[] = "Usage: wg.exe show <interface> [dump]\r\n";
constexpr uint64_t kReceivedPerDump = 4096;
constexpr uint64_t kSentPerDump = 1024;

int NoSuchInterface() {
  WriteStderr("Unable to access interface: No such file or directory\r\n");
  return 1;
}

int UsageError() {
  WriteStderr(kUsage);
  return 1;
}

// As the real tool: WG_HIDE_KEYS=never shows the private key too.
bool ShowsPrivateKey() {
  wchar_t value[8] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"WG_HIDE_KEYS", value, 8);
  return length == 5 && std::wcscmp(value, L"never") == 0;
}

int Show(const std::wstring& state_folder, const std::wstring& name,
         bool dump) {
  if (state_folder.empty() || !IsValidTunnelName(name)) {
    return NoSuchInterface();
  }
  TunnelStore store(state_folder);
  TunnelStore::Tunnel tunnel;
  // The interface lives in the tunnel's service: once the service manager
  // has deleted the service, the interface is gone, whatever the state
  // folder says.
  if (!store.Load(name, &tunnel) || !TunnelServiceRegistered(name)) {
    return NoSuchInterface();
  }
  const TunnelConfig config = ParseTunnelConfig(tunnel.config);
  if (!config.CanComeUp()) return NoSuchInterface();
  if (dump) {
    ++tunnel.dump_calls;
    if (!store.SaveCounters(name, tunnel)) {
      WriteStderr("Unable to update the transfer counters\r\n");
      return 1;
    }
  }

  InterfaceView view;
  view.name = NarrowTunnelName(name);
  view.private_key = config.private_key;
  view.public_key = DerivePublicKey(config.private_key);
  view.peer_public_key = config.peer_public_key;
  view.endpoint = config.endpoint;
  view.allowed_ips = config.allowed_ips;
  view.latest_handshake = tunnel.installed_at;
  view.rx_bytes = kReceivedPerDump * tunnel.dump_calls;
  view.tx_bytes = kSentPerDump * tunnel.dump_calls;
  view.show_private_key = ShowsPrivateKey();
  WriteStdout(dump ? FormatDump(view) : FormatShow(view));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (IsOutputHolderCall(argc, argv)) return RunOutputHolder(argc, argv);
  if (argc < 2 || std::wcscmp(argv[1], L"show") != 0) return UsageError();
  const bool dump = argc == 4 && std::wcscmp(argv[3], L"dump") == 0;

  const std::wstring state_folder = StateFolder();
  if (std::optional<int> exit_code = ActOutFault(
          state_folder, dump ? FaultCommand::kDump : FaultCommand::kShow)) {
    return *exit_code;
  }
  if (argc != 3 && !dump) return UsageError();
  return Show(state_folder, argv[2], dump);
}
