#include "tunnel/config_file.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_keys.h"
#include "tunnel/config_security.h"
#include "tunnel/tunnel_controller.h"
#include "util/native_log.h"
#include "util/windows_include.h"

namespace {

struct Inputs {
  std::string private_key = kTestPrivateKey;
  std::string public_key = kTestClientKey;
  std::string server_public_key = kTestServerKey;
  std::string endpoint = kTestEndpoint;
  std::string allowed_ips;
  std::string dns;
  std::string address;
};

class ConfigFileTest : public testing::Test {
 protected:
  ConfigFileTest() : controller_(MakeSystem(folder_)) {}

  static TunnelSystem MakeSystem(const TempFolder& folder) {
    TunnelSystem system;
    system.config_directory = [&folder] { return folder.path(); };
    return system;
  }

  // Writes and returns the path; the log goes to log_.
  std::wstring Write(const Inputs& in) {
    LogCapture capture;
    const std::wstring path = controller_.WriteTunnelConfig(
        in.private_key, in.public_key, in.server_public_key, in.endpoint,
        in.allowed_ips, in.dns, in.address);
    log_ = capture.Finish();
    messages_ = NativeMessages(log_);
    return path;
  }

  std::wstring ExpectedPath() const { return folder_.Join(L"Keelhaven.conf"); }

  TempFolder folder_;
  TunnelController controller_;
  std::string log_;
  std::vector<std::string> messages_;
};

std::string Expected(const std::string& address, const std::string& dns,
                     const std::string& allowed) {
  return "[Interface]\r\nPrivateKey = " + kTestPrivateKey +
         "\r\nAddress = " + address + "\r\nDNS = " + dns +
         "\r\n\r\n[Peer]\r\nPublicKey = " + kTestServerKey +
         "\r\nEndpoint = " + kTestEndpoint + "\r\nAllowedIPs = " + allowed +
         "\r\nPersistentKeepalive = 25\r\n";
}

TEST_F(ConfigFileTest, WritesTheExactFileAndLogsEveryStepWithoutTheKey) {
  const std::wstring path = Write(Inputs());
  ASSERT_EQ(path, ExpectedPath());
  const std::string content = ReadWholeFile(path);
  EXPECT_EQ(content.size(), 273u);
  EXPECT_EQ(content,
            Expected("10.8.0.2/24", "1.1.1.1, 1.0.0.1", "0.0.0.0/0, ::/0"));

  const std::vector<std::string> expected = {
      "WARNING: No tunnel address \xE2\x80\x94 using fallback: 10.8.0.2/24",
      "WARNING: No DNS, using Cloudflare defaults",
      "======== WireGuard Config ========",
      "  Address         = 10.8.0.2/24",
      "  DNS             = 1.1.1.1, 1.0.0.1",
      "  [Peer] PublicKey (server) = " + kTestServerKey,
      "  Client PublicKey (info)   = " + kTestClientKey,
      "  Endpoint        = " + kTestEndpoint,
      "  AllowedIPs      = 0.0.0.0/0, ::/0",
      "  Config size: 273 bytes",
      "==================================",
      "Config written: " + WideToUtf8(path) + " (273 bytes)",
      "Config verify: [Peer]=YES PublicKey=YES Endpoint=YES",
  };
  EXPECT_EQ(messages_, expected);
  EXPECT_EQ(log_.find(kTestPrivateKey), std::string::npos);
  // The client key is only logged, never written.
  EXPECT_EQ(content.find(kTestClientKey), std::string::npos);
}

TEST_F(ConfigFileTest, TrimsValuesAndKeepsInnerSpaces) {
  Inputs in;
  in.private_key = " \t" + kTestPrivateKey + "\r\n";
  in.server_public_key = "\n" + kTestServerKey + " ";
  in.endpoint = "\t" + kTestEndpoint + "\t";
  in.allowed_ips = "  10.0.0.0/8, 192.168.0.0/16 \r\n";
  in.dns = " 9.9.9.9, 149.112.112.112\t";
  in.address = "\r\n10.8.0.9/32 ";
  ASSERT_FALSE(Write(in).empty());
  EXPECT_EQ(ReadWholeFile(ExpectedPath()),
            Expected("10.8.0.9/32", "9.9.9.9, 149.112.112.112",
                     "10.0.0.0/8, 192.168.0.0/16"));
  EXPECT_FALSE(HasMessageStartingWith(messages_, "WARNING:"));
}

TEST_F(ConfigFileTest, BlankOnlyValuesTakeTheDefaultsWithTwoWarningsInOrder) {
  Inputs in;
  in.allowed_ips = " \t";
  in.dns = "\r\n";
  in.address = "   ";
  ASSERT_FALSE(Write(in).empty());
  EXPECT_EQ(ReadWholeFile(ExpectedPath()),
            Expected("10.8.0.2/24", "1.1.1.1, 1.0.0.1", "0.0.0.0/0, ::/0"));
  ASSERT_GE(messages_.size(), 2u);
  EXPECT_EQ(
      messages_[0],
      "WARNING: No tunnel address \xE2\x80\x94 using fallback: 10.8.0.2/24");
  EXPECT_EQ(messages_[1], "WARNING: No DNS, using Cloudflare defaults");
}

TEST_F(ConfigFileTest, AddressWithoutPrefixLengthGetsSlash24) {
  const struct {
    std::string given, written;
  } cases[] = {
      {"10.8.0.5", "10.8.0.5/24"},
      {"10.8.0.5/32", "10.8.0.5/32"},
      {"fd00::5", "fd00::5/24"},
      {"10.8.0.5/32, fd00::5", "10.8.0.5/32, fd00::5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    Inputs in;
    in.address = c.given;
    ASSERT_FALSE(Write(in).empty());
    EXPECT_EQ(ReadWholeFile(ExpectedPath()),
              Expected(c.written, "1.1.1.1, 1.0.0.1", "0.0.0.0/0, ::/0"));
    EXPECT_FALSE(
        HasMessageStartingWith(messages_, "WARNING: No tunnel address"));
  }
}

TEST_F(ConfigFileTest, SecondWriteReplacesTheWholeFile) {
  Inputs first;
  first.allowed_ips = "0.0.0.0/1, 128.0.0.0/1, 10.99.99.0/24, 172.16.0.0/12";
  first.dns = "8.8.8.8, 8.8.4.4, 9.9.9.9";
  ASSERT_FALSE(Write(first).empty());
  ASSERT_FALSE(Write(Inputs()).empty());
  EXPECT_EQ(ReadWholeFile(ExpectedPath()),
            Expected("10.8.0.2/24", "1.1.1.1, 1.0.0.1", "0.0.0.0/0, ::/0"));
}

TEST_F(ConfigFileTest, UnwritableFileLogsSummaryThenErrorAndGivesEmpty) {
  // A folder standing where the file should be.
  ASSERT_TRUE(::CreateDirectoryW(ExpectedPath().c_str(), nullptr));
  EXPECT_EQ(Write(Inputs()), L"");
  ASSERT_FALSE(messages_.empty());
  EXPECT_EQ(messages_.back().rfind(
                "ERROR: CreateFileW failed for config (error: ", 0),
            0u)
      << messages_.back();
  EXPECT_TRUE(HasMessageStartingWith(messages_, "  Config size: 273 bytes"));
  EXPECT_FALSE(HasMessageStartingWith(messages_, "Config written"));
  EXPECT_EQ(log_.find(kTestPrivateKey), std::string::npos);
}

TEST(ConfigFolderTest, NoFolderFailsTheWriteWithItsOwnLine) {
  TunnelSystem system;
  system.config_directory = [] { return std::wstring(); };
  TunnelController controller(system);
  LogCapture capture;
  EXPECT_EQ(
      controller.WriteTunnelConfig(kTestPrivateKey, kTestClientKey,
                                   kTestServerKey, kTestEndpoint, "", "", ""),
      L"");
  EXPECT_EQ(NativeMessages(capture.Finish()),
            std::vector<std::string>{
                "ERROR: Could not determine the configuration folder"});
}

TEST(ConfigFolderTest, DefaultFolderIsUnderCommonApplicationData) {
  const std::wstring folder = GetConfigDirectory();
  EXPECT_EQ(folder, L"C:\\ProgramData\\Keelhaven");
  EXPECT_TRUE(FileExists(folder));
}

TEST_F(ConfigFileTest, DeleteTwiceAndAfterSomeoneElseRemovedTheFile) {
  const std::wstring path = Write(Inputs());
  ASSERT_FALSE(path.empty());
  controller_.set_config_path(path);
  {
    LogCapture capture;
    controller_.DeleteTunnelConfig();
    controller_.DeleteTunnelConfig();  // nothing left to do
    EXPECT_EQ(
        NativeMessages(capture.Finish()),
        std::vector<std::string>{"Config file deleted: " + WideToUtf8(path)});
  }
  EXPECT_FALSE(FileExists(path));
  EXPECT_TRUE(controller_.config_path().empty());

  controller_.set_config_path(path);  // already gone
  LogCapture capture;
  controller_.DeleteTunnelConfig();
  EXPECT_EQ(NativeMessages(capture.Finish()),
            std::vector<std::string>{
                "Note: Could not delete config (may have been removed by "
                "WireGuard): " +
                WideToUtf8(path)});
  EXPECT_TRUE(controller_.config_path().empty());
}

// --- Access to the file that holds the private key ----------------------

std::wstring ToSddl(PSECURITY_DESCRIPTOR descriptor,
                    SECURITY_INFORMATION what) {
  LPWSTR text = nullptr;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, what, &text, nullptr)) {
    return L"";
  }
  std::wstring result = text;
  ::LocalFree(text);
  return result;
}

// The SIDs (as SDDL strings) that the file's DACL grants anything to.
std::vector<std::wstring> GrantedSids(const std::wstring& path) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::vector<std::wstring> sids;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    sids.push_back(L"<unreadable>");
    return sids;
  }
  if (dacl == nullptr) sids.push_back(L"<null DACL>");
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(dacl, i, &ace)) continue;
    const auto* header = static_cast<ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    LPWSTR sid = nullptr;
    if (::ConvertSidToStringSidW(&allowed->SidStart, &sid)) {
      sids.push_back(sid);
      ::LocalFree(sid);
    }
  }
  ::LocalFree(descriptor);
  return sids;
}

void ExpectNoAccessForEveryoneOrUsers(const std::wstring& path) {
  for (const std::wstring& sid : GrantedSids(path)) {
    SCOPED_TRACE(WideToUtf8(sid));
    EXPECT_NE(sid, L"<unreadable>");
    EXPECT_NE(sid, L"<null DACL>");
    EXPECT_NE(sid, L"S-1-1-0");       // Everyone
    EXPECT_NE(sid, L"S-1-5-32-545");  // Users
    EXPECT_NE(sid, L"S-1-5-11");      // Authenticated Users
  }
}

TEST(ConfigSecurityTest, DescriptorsGrantSystemAndAdministratorsOnly) {
  for (const wchar_t* sddl : {kConfigFileSddl, kConfigFolderSddl}) {
    SCOPED_TRACE(WideToUtf8(sddl));
    const SecurityDescriptor descriptor(sddl);
    ASSERT_TRUE(descriptor.valid());
    ASSERT_NE(descriptor.dacl(), nullptr);
    EXPECT_EQ(ToSddl(descriptor.get(), DACL_SECURITY_INFORMATION), sddl);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(
        ::GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED);
  }
  EXPECT_STREQ(kConfigFileSddl, L"D:P(A;;FA;;;SY)(A;;FA;;;BA)");
  EXPECT_STREQ(kConfigFolderSddl, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
}

TEST_F(ConfigFileTest, WrittenFileIsClosedToEveryoneAndUsers) {
  const std::wstring path = Write(Inputs());
  ASSERT_FALSE(path.empty());
  ExpectNoAccessForEveryoneOrUsers(path);
}

TEST_F(ConfigFileTest, ExistingOpenFileIsClosedToEveryoneAndUsersToo) {
  // A file left with a DACL that lets everyone in: rewriting it must not
  // keep that DACL.
  ASSERT_TRUE(WriteWholeFile(ExpectedPath(), "old"));
  const SecurityDescriptor open(L"D:(A;;FA;;;WD)(A;;FA;;;BU)");
  ASSERT_EQ(
      ::SetNamedSecurityInfoW(const_cast<wchar_t*>(ExpectedPath().c_str()),
                              SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, open.dacl(), nullptr),
      static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_FALSE(Write(Inputs()).empty());
  ExpectNoAccessForEveryoneOrUsers(ExpectedPath());
}

TEST(TrimWhitespaceTest, DropsOnlyTheFourBlankBytesAtBothEnds) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {" \t\r\n", ""},
      {"abc", "abc"},
      {"  a b  ", "a b"},
      {"\r\nkey=\t", "key="},
      {"\va\f", "\va\f"},  // vertical tab and form feed stay
      {std::string("\0a\0", 3), std::string("\0a\0", 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(TrimWhitespace(c.in), c.out);
  }
}

}  // namespace
