// What every tunnel test sets up around a TunnelController: the stand-in
// WireGuard tools in a temporary install folder, a search path that holds
// nothing of ours, a temporary configuration folder, a sleeper that records
// instead of waiting, and a record of every command the controller ran
// (each run for real unless `fake_run` answers it). The service manager is
// the machine's (under Wine, the prefix's) unless a state is set.
#ifndef KEELHAVEN_TESTS_SUPPORT_TUNNEL_FIXTURE_H_
#define KEELHAVEN_TESTS_SUPPORT_TUNNEL_FIXTURE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "tests/standins/standin_wireguard.h"
#include "tests/support/recording_sleeper.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_keys.h"
#include "tunnel/config_file.h"
#include "tunnel/tunnel_controller.h"

// One command as the controller ran it.
struct RecordedRun {
  std::wstring command;
  uint32_t timeout_ms;
  int32_t result;
  std::string output;
};

// What one call of the channel's handler answered.
struct MethodReply {
  int replies = 0;
  bool empty = false;  // NotImplemented: null bytes, size 0
  std::vector<uint8_t> bytes;
  // Answered once, with a success envelope.
  bool succeeded() const { return replies == 1 && !bytes.empty() && !bytes[0]; }
};

// The parameters of a valid "establishTunnel", with the tests' keys.
flutter::EncodableMap EstablishParameters(
    const std::string& private_key = kTestPrivateKey);

// The tests' keys and endpoint; the other values empty, for the defaults.
TunnelParameters TestTunnelParameters();

// Gives `folder` taken afresh (TakeTrustedFolder, as a folder of the
// machine's application data) at every call, where the host holds its one
// folder for the run; null when it is refused.
ConfigFolderSource TakeFolderAt(const std::wstring& folder);

// Calls `method` on the controller's handler, as the channel would.
MethodReply CallTunnelMethod(
    TunnelController& controller, const std::string& method,
    std::unique_ptr<flutter::EncodableValue> arguments = nullptr);

struct TunnelFixture {
  TunnelFixture();

  // A TunnelSystem over the tools in `folders` (by default the stand-in's
  // install folder) and the temporary configuration folder.
  TunnelSystem System(std::vector<std::wstring> folders);
  TunnelSystem System() { return System({wireguard.install_folder()}); }

  // <temporary folder>\Keelhaven, made by the controller's first write.
  std::wstring ConfigFolder() const { return config_root.Join(L"Keelhaven"); }
  // ConfigFolder(), taken (made when missing) and held; null when refused.
  std::shared_ptr<const HeldFolder> TakeConfigFolder() const {
    return TakeFolderAt(ConfigFolder())();
  }
  // ConfigFolder() + "\Keelhaven.conf".
  std::wstring ConfigPath() const;
  // The command lines that remove the tunnel service and show the tunnel.
  std::wstring RemoveCommand() const;
  std::wstring ShowCommand() const;
  // Lets every command answer `result` with `output` instead of running.
  void AnswerEveryRun(int32_t result, const std::string& output);

  TempFolder empty_folder;  // the search path
  ScopedEnvironmentVariable search_path;
  TempFolder config_root;
  StandinWireGuard wireguard;
  RecordingSleeper sleeper;
  std::vector<RecordedRun> runs;
  // Gives the result of a command line (and may fill the output) instead
  // of running it; nullopt: run it.
  std::function<std::optional<int32_t>(const std::wstring& command,
                                       std::string* output)>
      fake_run;
  // What the service manager is said to hold; unset: what it holds.
  std::optional<ServiceState> service_state;
  // Removals of the tunnel's service begun (by the uninstall command or
  // the service manager) while the configuration file was still there.
  int removals_with_key = 0;
  // The time each call of the service manager's own removal was given.
  std::vector<uint32_t> service_manager_removals;
};

#endif  // KEELHAVEN_TESTS_SUPPORT_TUNNEL_FIXTURE_H_
