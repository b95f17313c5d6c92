#include "tests/e2e/host_test.h"

#include <algorithm>

#include "standins/wireguard/tunnel_service.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wine.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

const char kChannel[] = "com.daltic.halberdix/wireguard";

namespace {

constexpr wchar_t kWireGuardFolderX86[] = L"C:\\Program Files (x86)\\WireGuard";

std::string LeftoverConfig(bool with_endpoint) {
  return std::string(
             "[Interface]\r\n"
             "PrivateKey = AqsEnrntsVcx8jIqXCclDc/28MzyoHwusiPAA47Mnac=\r\n"
             "Address = 10.64.12.7/32\r\n"
             "\r\n"
             "[Peer]\r\n"
             "PublicKey = P1DOzXwpH2F4IBjoTBCwzIaS0rxknzzor0hm5W5w1Ig=\r\n") +
         (with_endpoint ? "Endpoint = 198.51.100.24:51820\r\n" : "") +
         "AllowedIPs = 0.0.0.0/0\r\n";
}

}  // namespace

std::string SendLine(const std::string& method,
                     const std::vector<channel_text::Parameter>& parameters) {
  return std::string("send ") + kChannel + " " +
         ToHex(channel_text::EncodeCall(method, parameters)) + "\n";
}

std::vector<channel_text::Parameter> TunnelParameters() {
  return {{"privateKey", "BSlvu3X/BjlZ9YjjvI5Nl0NdzjbDtUs7Js49QgaP47c="},
          {"publicKey", "AqsEnrntsVcx8jIqXCclDc/28MzyoHwusiPAA47Mnac="},
          {"serverPublicKey", "P1DOzXwpH2F4IBjoTBCwzIaS0rxknzzor0hm5W5w1Ig="},
          {"endpoint", "198.51.100.24:51820"},
          {"allowedIps", "0.0.0.0/0, ::/0"},
          {"dns", "9.9.9.9"},
          {"address", "10.64.12.7/32"}};
}

std::string StringHex(const std::string& text) {
  // Tag 7, a one-byte size, the UTF-8 bytes.
  std::vector<uint8_t> bytes(text.size() + 2);
  bytes[0] = 7;
  bytes[1] = static_cast<uint8_t>(text.size());
  std::copy(text.begin(), text.end(), bytes.begin() + 2);
  return ToHex(bytes);
}

std::vector<std::string> StartMessagesWithoutInterface() {
  return {
      "MethodChannel registered: com.daltic.halberdix/wireguard",
      "Found wireguard.exe at: C:\\Program Files\\WireGuard\\wireguard.exe",
      "WireGuard for Windows found: C:\\Program Files\\WireGuard\\"
      "wireguard.exe",
      "Running: \"C:\\Program Files\\WireGuard\\wg.exe\" show Keelhaven",
      "Process exited with code: 1",
      "Process output: Unable to access interface: No such file or directory",
  };
}

void HostTest::SetUp() {
  // These tests install into Program Files and ProgramData.
  if (!RunningUnderWine()) GTEST_SKIP() << kNotUnderWine;
  // A test that failed half-way may have left these behind.
  DeleteTree(kWireGuardFolder);
  DeleteTree(kWireGuardFolderX86);
  // The whole folder: under Wine a folder left by another run reads back
  // as the running account's, which is not trusted (its token is split).
  DeleteConfigFolders();
  DeleteTunnelService(L"Keelhaven");
  standin_ = std::make_unique<StandinWireGuard>();
  // The host must find the tools only where a test installs them.
  wchar_t found[MAX_PATH];
  ASSERT_EQ(
      ::SearchPathW(nullptr, L"wg.exe", nullptr, MAX_PATH, found, nullptr), 0u)
      << "wg.exe is on the search path";
}

void HostTest::TearDown() {
  if (!RunningUnderWine()) return;
  DeleteTree(kWireGuardFolder);
  DeleteConfigFolders();
  standin_.reset();
}

void HostTest::DeleteConfigFolders() const {
  DeleteTree(ConfigFolder());
  for (const std::wstring& moved : MovedConfigFolders()) DeleteTree(moved);
}

std::vector<std::wstring> HostTest::MovedConfigFolders() const {
  const std::wstring parent =
      ConfigFolder().substr(0, ConfigFolder().rfind(L'\\'));
  std::vector<std::wstring> moved;
  ForEachEntry(ConfigFolder() + L".untrusted-*", [&](const std::wstring& name) {
    moved.push_back(parent + L"\\" + name);
  });
  return moved;
}

void HostTest::InstallWireGuard() const {
  ASSERT_TRUE(CopyStandinTools(kWireGuardFolder));
}

void HostTest::InstallLeftoverTunnel(bool comes_up) const {
  TempFolder folder;
  const std::wstring config = folder.Join(L"Keelhaven.conf");
  ASSERT_TRUE(WriteWholeFile(config, LeftoverConfig(comes_up)));
  const ChildRun run = RunChild(standin_->Tool(L"wireguard.exe"),
                                L"/installtunnelservice \"" + config + L"\"");
  ASSERT_TRUE(run.started);
  ASSERT_EQ(run.exit_code, 0u) << run.err;
  ASSERT_TRUE(TunnelServiceInstalled());
  ASSERT_TRUE(TunnelServiceRegistered());
}

void HostTest::KillHostWithTunnelUp() const {
  HostOptions options;
  options.script =
      SendLine("establishTunnel", TunnelParameters()) + "wait 60000\nclose\n";
  options.while_running = [this](DWORD process_id) {
    WaitUntil([this] { return TunnelUp(); }, 60000);
    const UniqueKernelHandle process(
        ::OpenProcess(PROCESS_TERMINATE, FALSE, process_id));
    ::TerminateProcess(process.get(), 9);
  };
  options.exit_code = 9;
  RunHost(options);
  ASSERT_TRUE(TunnelServiceInstalled());
  ASSERT_TRUE(TunnelUp());
}

bool HostTest::TunnelServiceInstalled() const {
  return standin_->IsInstalled(L"Keelhaven");
}

bool HostTest::TunnelServiceRegistered() const {
  return ::TunnelServiceRegistered(L"Keelhaven");
}

bool HostTest::TunnelUp() const {
  return TunnelServiceRegistered() && FileExists(ConfigFile());
}
