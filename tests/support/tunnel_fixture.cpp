#include "tests/support/tunnel_fixture.h"

#include "codec/method_call.h"
#include "codec/standard_method_codec.h"
#include "embedding/engine_method_result.h"
#include "tests/support/files.h"
#include "tunnel/folder_trust.h"

using flutter::EncodableMap;
using flutter::EncodableValue;

EncodableMap EstablishParameters(const std::string& private_key) {
  return EncodableMap{
      {EncodableValue("privateKey"), EncodableValue(private_key)},
      {EncodableValue("publicKey"), EncodableValue(kTestClientKey)},
      {EncodableValue("serverPublicKey"), EncodableValue(kTestServerKey)},
      {EncodableValue("endpoint"), EncodableValue(kTestEndpoint)},
      {EncodableValue("allowedIps"), EncodableValue("0.0.0.0/0, ::/0")},
      {EncodableValue("dns"), EncodableValue("1.1.1.1")},
      {EncodableValue("address"), EncodableValue("10.8.0.2/32")},
  };
}

TunnelParameters TestTunnelParameters() {
  TunnelParameters parameters;
  parameters.private_key = kTestPrivateKey;
  parameters.public_key = kTestClientKey;
  parameters.server_public_key = kTestServerKey;
  parameters.endpoint = kTestEndpoint;
  return parameters;
}

ConfigFolderSource TakeFolderAt(const std::wstring& folder) {
  return [folder]() -> std::shared_ptr<const HeldFolder> {
    auto held = std::make_shared<const HeldFolder>(
        TakeTrustedFolder(folder, FolderOrigin::kMachine));
    if (!held->valid()) return nullptr;
    return held;
  };
}

MethodReply CallTunnelMethod(TunnelController& controller,
                             const std::string& method,
                             std::unique_ptr<EncodableValue> arguments) {
  MethodReply reply;
  const flutter::MethodCall<EncodableValue> call(method, std::move(arguments));
  controller.HandleTunnelMethodCall(
      call, std::make_unique<flutter::EngineMethodResult<EncodableValue>>(
                [&reply](const uint8_t* data, size_t size) {
                  ++reply.replies;
                  reply.empty = data == nullptr && size == 0;
                  if (data != nullptr) reply.bytes.assign(data, data + size);
                },
                &flutter::StandardMethodCodec::GetInstance()));
  return reply;
}

TunnelFixture::TunnelFixture()
    : search_path(L"PATH", empty_folder.path().c_str()) {}

TunnelSystem TunnelFixture::System(std::vector<std::wstring> folders) {
  TunnelSystem system;
  system.wireguard_folders = std::move(folders);
  system.config_directory = [this] { return ConfigFolder(); };
  system.config_folder = TakeFolderAt(ConfigFolder());
  system.sleep = sleeper.AsFunction();
  system.tunnel_service_state = [this, real = system.tunnel_service_state] {
    return service_state ? *service_state : real();
  };
  system.remove_tunnel_service =
      [this, real = system.remove_tunnel_service](uint32_t budget_ms) {
        service_manager_removals.push_back(budget_ms);
        if (FileExists(ConfigPath())) ++removals_with_key;
        return real(budget_ms);
      };
  system.run_command = [this](const std::wstring& command, std::string* output,
                              uint32_t timeout_ms, const RunOptions& options) {
    if (command == RemoveCommand() && FileExists(ConfigPath())) {
      ++removals_with_key;
    }
    const std::optional<int32_t> faked =
        fake_run ? fake_run(command, output) : std::nullopt;
    const int32_t result =
        faked ? *faked : RunCommand(command, output, timeout_ms, options);
    runs.push_back({command, timeout_ms, result, output ? *output : ""});
    return result;
  };
  return system;
}

std::wstring TunnelFixture::ConfigPath() const {
  return ConfigFolder() + L"\\Keelhaven.conf";
}

std::wstring TunnelFixture::RemoveCommand() const {
  return L"\"" + wireguard.Tool(L"wireguard.exe") +
         L"\" /uninstalltunnelservice Keelhaven";
}

std::wstring TunnelFixture::ShowCommand() const {
  return L"\"" + wireguard.Tool(L"wg.exe") + L"\" show Keelhaven";
}

void TunnelFixture::AnswerEveryRun(int32_t result, const std::string& output) {
  fake_run = [result, output](const std::wstring&, std::string* sink) {
    if (sink) *sink = output;
    return std::optional<int32_t>(result);
  };
}
