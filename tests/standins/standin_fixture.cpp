#include "standin_fixture.h"

#include "standins/wireguard/file_io.h"
#include "standins/wireguard/state_folder.h"
#include "tests/support/standin_wireguard.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

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

namespace {

struct FindTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type handle) noexcept { ::FindClose(handle); }
};

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  UniqueHandle<FindTraits> find(
      ::FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (find) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(find.get(), &entry));
  }
  find.reset();
  ::RemoveDirectoryW(folder.c_str());
}

std::wstring Widen(const char* text) {
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], size);
  wide.resize(wide.size() - 1);  // the terminator
  return wide;
}

std::wstring ToolPath(const wchar_t* file_name) {
  return Widen(KEELHAVEN_STANDIN_WIREGUARD_BIN) + L"\\" + file_name;
}

}  // namespace

void StandinTest::SetUp() {
  static int counter = 0;
  wchar_t temp[MAX_PATH + 1] = {};
  ASSERT_NE(::GetTempPathW(MAX_PATH + 1, temp), 0u);
  work_folder_ = std::wstring(temp) + L"keelhaven-standins-" +
                 std::to_wstring(::GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++counter);
  RemoveTree(work_folder_);
  ASSERT_TRUE(CreateFolderTree(work_folder_));
  state_folder_ = work_folder_ + L"\\state";
  ASSERT_TRUE(
      ::SetEnvironmentVariableW(kStateFolderVariable, state_folder_.c_str()));
}

void StandinTest::TearDown() {
  ::SetEnvironmentVariableW(kStateFolderVariable, nullptr);
  RemoveTunnelServices(state_folder_);
  RemoveTree(work_folder_);
}

std::wstring StandinTest::WriteWorkFile(const std::wstring& file_name,
                                        const std::string& bytes) const {
  const std::wstring path = work_folder_ + L"\\" + file_name;
  EXPECT_EQ(WriteWholeFile(path, bytes, false), WriteStatus::kOk);
  return path;
}

void StandinTest::WriteFaults(const std::string& text) const {
  ASSERT_TRUE(CreateFolderTree(state_folder_));
  ASSERT_EQ(WriteWholeFile(FaultFilePath(state_folder_), text, false),
            WriteStatus::kOk);
}

void StandinTest::RemoveFaults() const {
  ::DeleteFileW(FaultFilePath(state_folder_).c_str());
}

std::string StandinTest::ReadStateFile(const std::wstring& relative) const {
  std::string bytes;
  if (ReadSmallFile(state_folder_ + L"\\" + relative, 1 << 20, &bytes) !=
      ReadStatus::kOk) {
    return "<missing>";
  }
  return bytes;
}

ChildRun StandinTest::Wireguard(const std::wstring& arguments,
                                uint32_t timeout_ms) const {
  return RunChild(ToolPath(L"wireguard.exe"), arguments, timeout_ms);
}

ChildRun StandinTest::Wg(const std::wstring& arguments,
                         uint32_t timeout_ms) const {
  return RunChild(ToolPath(L"wg.exe"), arguments, timeout_ms);
}

void StandinTest::Install(const std::wstring& name,
                          const std::string& config) const {
  const std::wstring path = WriteWorkFile(name + L".conf", config);
  const ChildRun run = Wireguard(L"/installtunnelservice \"" + path + L"\"");
  ASSERT_TRUE(run.started);
  ASSERT_EQ(run.exit_code, 0u) << run.err;
}
