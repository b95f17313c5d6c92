#include "standin_fixture.h"

#include "standins/wireguard/state_folder.h"
#include "tests/support/files.h"

const char kPrivateKey[] = "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=";
const char kPeerKey[] = "xTIBA5rboUvnH4htodjb6e697QjLERt1NAB4mZqp8Dg=";
const char kEndpoint[] = "203.0.113.7:51820";

std::string HostConfig(const std::string& private_key,
                       const std::string& peer_key,
                       const std::string& endpoint) {
  return "[Interface]\r\nPrivateKey = " + private_key +
         "\r\nAddress = 10.8.0.2/24\r\nDNS = 1.1.1.1, 1.0.0.1\r\n\r\n"
         "[Peer]\r\nPublicKey = " +
         peer_key + "\r\nEndpoint = " + endpoint +
         "\r\nAllowedIPs = 0.0.0.0/0, ::/0\r\nPersistentKeepalive = 25\r\n";
}

std::wstring StandinTest::WriteWorkFile(const std::wstring& file_name,
                                        const std::string& bytes) const {
  const std::wstring path = work_folder_.Join(file_name);
  EXPECT_TRUE(WriteWholeFile(path, bytes));
  return path;
}

std::string StandinTest::ReadTunnelFile(const std::wstring& file_name) const {
  const std::wstring path =
      TunnelsFolder(tools_.state_folder()) + L"\\" + file_name;
  return FileExists(path) ? ReadWholeFile(path) : "<missing>";
}

ChildRun StandinTest::Wireguard(const std::wstring& arguments,
                                uint32_t timeout_ms) const {
  return RunChild(tools_.Tool(L"wireguard.exe"), arguments, {timeout_ms});
}

ChildRun StandinTest::Wg(const std::wstring& arguments,
                         uint32_t timeout_ms) const {
  return RunChild(tools_.Tool(L"wg.exe"), arguments, {timeout_ms});
}

void StandinTest::Install(const std::wstring& name,
                          const std::string& config) const {
  const std::wstring path = WriteWorkFile(name + L".conf", config);
  const ChildRun run = Wireguard(L"/installtunnelservice \"" + path + L"\"");
  ASSERT_TRUE(run.started);
  ASSERT_EQ(run.exit_code, 0u) << run.err;
}

void ExpectFailure(const ChildRun& run, const std::string& err) {
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, err);
}

void ExpectSilentSuccess(const ChildRun& run) {
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
}
