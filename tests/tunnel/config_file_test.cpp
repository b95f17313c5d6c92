#include "tunnel/config_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/file_security.h"
#include "tests/support/files.h"
#include "tests/support/log_capture.h"
#include "tests/support/tunnel_fixture.h"
#include "tests/support/wine.h"
#include "tunnel/config_security.h"
#include "util/native_log.h"
#include "util/windows_include.h"
// After windows.h:
#include <sddl.h>

namespace {

class ConfigFileTest : public testing::Test, public TunnelFixture {
 protected:
  // Writes and returns the path; the file goes to written_, the log to
  // log_.
  std::wstring Write(const TunnelParameters& in = TestTunnelParameters()) {
    LogCapture capture;
    written_ =
        WriteTunnelConfig(ConfigFolder(), TakeFolderAt(ConfigFolder()), in);
    log_ = capture.Finish();
    messages_ = NativeMessages(log_);
    return written_.path;
  }

  WrittenConfig written_;
  std::string log_;
  std::vector<std::string> messages_;
};

std::string Expected(const std::string& address, const std::string& dns,
                     const std::string& allowed) {
  return ConfigText(kTestPrivateKey, kTestServerKey, kTestEndpoint, address,
                    dns, allowed);
}

// Missing and blank-only values alike take the defaults, with the two
// warnings in this order. The file is closed to everyone and users.
TEST_F(ConfigFileTest, WritesTheExactFileAndLogsEveryStepWithoutTheKey) {
  TunnelParameters blank = TestTunnelParameters();
  blank.allowed_ips = " \t";
  blank.dns = "\r\n";
  blank.address = "   ";
  // A longer file first: each write replaces the whole file.
  TunnelParameters longer = TestTunnelParameters();
  longer.allowed_ips = "0.0.0.0/1, 128.0.0.0/1, 10.99.99.0/24, 172.16.0.0/12";
  ASSERT_FALSE(Write(longer).empty());
  for (const TunnelParameters& in : {TestTunnelParameters(), blank}) {
    SCOPED_TRACE(in.allowed_ips.empty() ? "missing" : "blank");
    const std::wstring path = Write(in);
    ASSERT_EQ(path, ConfigPath());
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
    ExpectClosedToEveryoneAndUsers(path);
  }
}

// Every value is trimmed, inner spaces kept; an address without a prefix
// length gets /24.
TEST_F(ConfigFileTest, TrimsValuesAndGivesAnAddressAPrefixLength) {
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
    TunnelParameters in = TestTunnelParameters();
    in.private_key = " \t" + kTestPrivateKey + "\r\n";
    in.server_public_key = "\n" + kTestServerKey + " ";
    in.endpoint = "\t" + kTestEndpoint + "\t";
    in.allowed_ips = "  10.0.0.0/8, 192.168.0.0/16 \r\n";
    in.dns = " 9.9.9.9, 149.112.112.112\t";
    in.address = "\r\n" + c.given + " ";
    ASSERT_FALSE(Write(in).empty());
    EXPECT_EQ(ReadWholeFile(ConfigPath()),
              Expected(c.written, "9.9.9.9, 149.112.112.112",
                       "10.0.0.0/8, 192.168.0.0/16"));
    EXPECT_FALSE(HasMessageStartingWith(messages_, "WARNING:"));
  }
}

TEST_F(ConfigFileTest, UnwritableFileLogsSummaryThenErrorAndGivesEmpty) {
  // A folder standing where the file should be.
  ASSERT_TRUE(TakeConfigFolder());
  ASSERT_TRUE(::CreateDirectoryW(ConfigPath().c_str(), nullptr));
  EXPECT_EQ(Write(), L"");
  EXPECT_TRUE(HasMessageStartingWith(
      Last(messages_, 1), "ERROR: CreateFileW failed for config (error: "));
  EXPECT_TRUE(HasMessageStartingWith(messages_, "  Config size: 273 bytes"));
  EXPECT_FALSE(HasMessageStartingWith(messages_, "Config written"));
  EXPECT_EQ(log_.find(kTestPrivateKey), std::string::npos);
}

TEST(ConfigFolderTest, NoFolderFailsTheWriteWithItsOwnLine) {
  LogCapture capture;
  const ConfigFolderSource never = []() -> std::shared_ptr<const HeldFolder> {
    ADD_FAILURE() << "a folder was taken";
    return nullptr;
  };
  EXPECT_EQ(WriteTunnelConfig(L"", never, TestTunnelParameters()).path, L"");
  EXPECT_EQ(NativeMessages(capture.Finish()),
            std::vector<std::string>{
                "ERROR: Could not determine the configuration folder"});
}

TEST(ConfigFolderTest, DefaultFolderIsUnderCommonApplicationData) {
  EXPECT_EQ(GetConfigDirectory(), L"C:\\ProgramData\\Keelhaven");
}

TEST_F(ConfigFileTest, DeleteTwiceAndAfterSomeoneElseRemovedTheFile) {
  const std::wstring path = Write();
  ASSERT_FALSE(path.empty());
  WrittenConfig config = written_;
  {
    LogCapture capture;
    DeleteTunnelConfig(config);
    DeleteTunnelConfig(config);  // nothing left to do
    EXPECT_EQ(
        NativeMessages(capture.Finish()),
        std::vector<std::string>{"Config file deleted: " + WideToUtf8(path)});
  }
  EXPECT_FALSE(FileExists(path));
  EXPECT_TRUE(config.path.empty());
  EXPECT_FALSE(config.folder);

  // Already gone; or no folder held, when nothing is deleted by its path.
  for (const bool held : {true, false}) {
    SCOPED_TRACE(held ? "already gone" : "no folder held");
    ASSERT_EQ(Write(), path);
    config = written_;
    if (held) {
      ASSERT_TRUE(::DeleteFileW(path.c_str()));
    } else {
      config.folder.reset();
    }
    LogCapture capture;
    DeleteTunnelConfig(config);
    EXPECT_EQ(NativeMessages(capture.Finish()),
              std::vector<std::string>{
                  "Note: Could not delete config (may have been removed by "
                  "WireGuard): " +
                  WideToUtf8(path)});
    EXPECT_TRUE(config.path.empty());
    EXPECT_EQ(FileExists(path), !held);
  }
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

TEST_F(ConfigFileTest, ExistingOpenFileIsClosedToEveryoneAndUsersToo) {
  // A file left with a DACL that lets everyone in: rewriting it must not
  // keep that DACL.
  ASSERT_TRUE(TakeConfigFolder());
  ASSERT_TRUE(WriteWholeFile(ConfigPath(), "old"));
  ASSERT_TRUE(OpenToEveryone(ConfigPath()));
  ASSERT_FALSE(Write().empty());
  ExpectClosedToEveryoneAndUsers(ConfigPath());
}

// --- The folder the key goes into --------------------------------------

// Under Wine, which reads every owner back as the running account and
// whose token is elevated, what shows is: a new folder is private and
// trusted for the run; any other folder or file in its place is moved
// aside and a new folder made (Windows would keep a folder that only
// SYSTEM and Administrators own and reach); a link, which Wine follows, is
// refused. Owners of other accounts are judged by the trust rule's table.
TEST(ConfigFolderTrustTest, FolderIsCreatedKeptOrRefusedBeforeTheKeyLands) {
  if (!RunningUnderWine()) GTEST_SKIP() << kNotUnderWine;
  // Makes what stands at `folder` beforehand; `elsewhere` is another folder.
  using Before =
      std::function<bool(const std::wstring& folder, TempFolder& elsewhere)>;
  const struct {
    const char* name;
    Before before;
    const char* refusal;  // why the folder is refused, or null
    bool moved = false;   // moved aside, a new one made
  } cases[] = {
      {"missing", [](auto&, auto&) { return true; }, nullptr},
      {"made by this run",
       [](auto& f, auto&) { return TakeFolderAt(f)() != nullptr; }, nullptr},
      {"private, not made by this run",
       [](auto& f, auto&) { return CreateFolders(f); }, nullptr, true},
      {"open to everyone",
       [](auto& f, auto&) { return CreateFolders(f) && OpenToEveryone(f); },
       nullptr, true},
      {"a file", [](auto& f, auto&) { return WriteWholeFile(f, "x"); }, nullptr,
       true},
      {"a link",
       [](auto& f, auto& elsewhere) {
         return WriteWholeFile(elsewhere.Join(L"kept"), "x") &&
                MakeSymbolicLink(f, elsewhere.path());
       },
       "it is a link"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder elsewhere;
    std::unique_ptr<TempFolder> root = std::make_unique<TempFolder>();
    const std::wstring folder = root->Join(L"Keelhaven");
    ASSERT_TRUE(c.before(folder, elsewhere));
    LogCapture capture;
    const std::wstring path =
        WriteTunnelConfig(folder, TakeFolderAt(folder), TestTunnelParameters())
            .path;
    const std::vector<std::string> messages = NativeMessages(capture.Finish());

    // What follows the summary.
    const auto summary_end = std::find(messages.begin(), messages.end(),
                                       "==================================");
    ASSERT_NE(summary_end, messages.end());
    std::vector<std::string> after(summary_end + 1, messages.end());
    if (c.moved) {
      ASSERT_FALSE(after.empty());
      const std::string warning =
          "WARNING: Folder could not be trusted as it was; moved it aside to " +
          WideToUtf8(folder) + ".untrusted-";
      EXPECT_EQ(after[0].compare(0, warning.size(), warning), 0) << after[0];
      EXPECT_EQ(after[0].substr(std::min(after[0].size(), warning.size() + 32)),
                " and made a new one: " + WideToUtf8(folder));
      after.erase(after.begin());
    }
    if (c.refusal != nullptr) {
      EXPECT_EQ(after, std::vector<std::string>{
                           "ERROR: Folder not trusted, nothing is written "
                           "there: " +
                           WideToUtf8(folder) + " (" + c.refusal + ")"});
      EXPECT_EQ(path, L"");
      EXPECT_FALSE(FileExists(elsewhere.Join(L"Keelhaven.conf")));
    } else {
      EXPECT_EQ(after,
                (std::vector<std::string>{
                    "Config written: " + WideToUtf8(path) + " (273 bytes)",
                    "Config verify: [Peer]=YES PublicKey=YES Endpoint=YES"}));
      EXPECT_EQ(path, folder + L"\\Keelhaven.conf");
      ExpectClosedToEveryoneAndUsers(folder);
      ExpectClosedToEveryoneAndUsers(path);
    }
    // The temporary folder's deletion takes the link, not what it points to.
    root.reset();
    EXPECT_EQ(FileExists(elsewhere.Join(L"kept")),
              std::string(c.name) == "a link");
  }
}

// A link at the file's own place is removed, not written through.
TEST_F(ConfigFileTest, LinkAtTheFilesPlaceIsReplacedNotFollowed) {
  TempFolder elsewhere;
  const std::wstring target = elsewhere.Join(L"target.conf");
  ASSERT_TRUE(WriteWholeFile(target, "someone else's"));
  ASSERT_TRUE(TakeConfigFolder());
  if (!MakeSymbolicLink(ConfigPath(), target)) {
    // Wine reads a Unix symbolic link to a file as the file itself, and
    // follows it even when asked not to.
    GTEST_SKIP() << "no symbolic link to a file can be made or seen here";
  }
  ASSERT_FALSE(Write().empty());
  EXPECT_EQ(ReadWholeFile(target), "someone else's");
  EXPECT_EQ(ReadWholeFile(ConfigPath()).size(), 273u);
}

}  // namespace
