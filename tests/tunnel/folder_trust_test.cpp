// The trust rule over security descriptors given as SDDL, in-process: the
// same whether or not the file system enforces (or even keeps) them; and
// what is done with a configuration folder that can't be trusted.
#include "tunnel/folder_trust.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/file_security.h"
#include "tests/support/files.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wine.h"
#include "tunnel/config_security.h"
#include "util/held_folder.h"
#include "util/native_log.h"
#include "util/token_facts.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

#define SID_ME L"S-1-5-21-1111-2222-3333-1001"
#define SID_OTHER L"S-1-5-21-1111-2222-3333-1002"
#define SID_TRUSTED_INSTALLER \
  L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
#define PRIVATE_ACES L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
#define WINE_PROGRAM_DATA \
  L"O:" SID_ME L"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" SID_ME L")" \
  L"(A;OICI;0x1200a9;;;WD)"

// Runs `check` on the descriptor `sddl` gives and a token of the running
// account SID_ME with `elevation`.
void ForRow(
    const wchar_t* sddl, TOKEN_ELEVATION_TYPE elevation,
    const std::function<void(PSECURITY_DESCRIPTOR, const TokenFacts&)>& check) {
  SCOPED_TRACE(WideToUtf8(sddl) + " elevation " + std::to_string(elevation));
  const SecurityDescriptor descriptor(sddl);
  ASSERT_TRUE(descriptor.valid());
  const TokenFacts token = TokenFacts::Of(SID_ME, elevation);
  ASSERT_TRUE(token.valid());
  check(descriptor.get(), token);
}

TEST(FolderTrustTest, OwnerAndWhoElseIsGrantedWhat) {
  const struct {
    const wchar_t* sddl;
    bool private_folder;  // nobody else has any access
    bool program;         // nobody else may change it
    // Of the running account SID_ME.
    TOKEN_ELEVATION_TYPE elevation = TokenElevationTypeFull;
  } cases[] = {
      // Owners.
      {L"O:SYD:P" PRIVATE_ACES, true, true},
      {L"O:BAD:P" PRIVATE_ACES, true, true},
      {L"O:" SID_TRUSTED_INSTALLER L"D:P" PRIVATE_ACES, true, true},
      // The running account counts only when its token is not split: under
      // UAC its user SID is every unelevated program's of that user. A
      // folder of its own, then, is someone else's when elevated.
      {L"O:" SID_ME L"D:P(A;OICI;FA;;;" SID_ME L")", true, true,
       TokenElevationTypeDefault},
      {L"O:" SID_ME L"D:P(A;OICI;FA;;;" SID_ME L")", false, false},
      {L"O:" SID_ME L"D:P(A;OICI;FA;;;" SID_ME L")", false, false,
       TokenElevationTypeLimited},
      {L"O:" SID_ME L"D:P" PRIVATE_ACES, true, true, TokenElevationTypeDefault},
      {L"O:" SID_ME L"D:P" PRIVATE_ACES, false, false},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;FA;;;" SID_ME L")", true, true,
       TokenElevationTypeDefault},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;FA;;;" SID_ME L")", false, false},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;FA;;;" SID_ME L")", false, false,
       TokenElevationTypeLimited},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;FX;;;" SID_ME L")", false, true},
      {L"O:" SID_OTHER L"D:P" PRIVATE_ACES, false, false},
      {L"D:P" PRIVATE_ACES, false, false},  // no owner
      // No DACL, a null DACL: everyone may do everything. An empty one
      // grants nothing.
      {L"O:BA", false, false},
      {L"O:BAD:P", true, true},
      // Others allowed in, protected or not.
      {L"O:BAD:P" PRIVATE_ACES L"(A;OICI;FA;;;WD)", false, false},
      {L"O:BAD:" PRIVATE_ACES L"(A;OICI;0x1200a9;;;WD)", false, true},
      {L"O:BAD:P" PRIVATE_ACES L"(A;OICI;0x1200a9;;;BU)", false, true},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;FW;;;BU)", false, false},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;0x1301bf;;;AU)", false, false},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;FR;;;IU)", false, true},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;FA;;;CO)", false, false},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;FA;;;" SID_OTHER L")", false, false},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;FX;;;" SID_OTHER L")", false, true},
      // Single rights that change the object or its security.
      {L"O:BAD:P" PRIVATE_ACES L"(A;;WD;;;BU)", false, false},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;WO;;;BU)", false, false},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;SD;;;BU)", false, false},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;0x40;;;BU)", false,
       false},  // delete child
      {L"O:BAD:P" PRIVATE_ACES L"(A;;GW;;;BU)", false, false},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;GA;;;BU)", false, false},
      {L"O:BAD:P" PRIVATE_ACES L"(A;;GR;;;BU)", false, true},
      // ProgramData lets users create entries in subfolders.
      {L"O:BAD:AI" PRIVATE_ACES L"(A;CIID;0x116;;;BU)", false, false},
      // Inherited ACEs count like any other.
      {L"O:BAD:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BU)", false, false},
      {L"O:BAD:AI(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)", false, true},
      // Inherit-only ACEs don't apply to the object itself.
      {L"O:BAD:P" PRIVATE_ACES L"(A;OICIIO;FA;;;CO)", true, true},
      {L"O:BAD:P" PRIVATE_ACES L"(A;OICIIO;GA;;;BU)", true, true},
      // Deny ACEs grant nothing, and are not relied on to take back a grant.
      {L"O:BAD:P(D;;FA;;;WD)" PRIVATE_ACES, true, true},
      {L"O:BAD:P(D;;FA;;;BU)(A;;FA;;;BU)" PRIVATE_ACES, false, false},
      // Wine's read-back of a folder made with chmod 0777.
      {L"O:" SID_ME L"D:(A;OICI;0x1f01ff;;;" SID_ME L")(A;OICI;0x1301ff;;;WD)",
       false, false},
  };
  for (const auto& c : cases) {
    ForRow(c.sddl, c.elevation, [&c](auto descriptor, auto& token) {
      EXPECT_EQ(IsTrustedDescriptor(descriptor, token, kAnyAccess),
                c.private_folder);
      EXPECT_EQ(IsTrustedDescriptor(descriptor, token, kWriteAccess),
                c.program);
    });
  }
  const TokenFacts unsplit = TokenFacts::Of(SID_ME, TokenElevationTypeDefault);
  // A null DACL (built by hand: Wine's SDDL parser gives an empty one).
  SECURITY_DESCRIPTOR null_dacl;
  ASSERT_TRUE(
      ::InitializeSecurityDescriptor(&null_dacl, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(::SetSecurityDescriptorOwner(&null_dacl, unsplit.user(), FALSE));
  ASSERT_TRUE(::SetSecurityDescriptorDacl(&null_dacl, TRUE, nullptr, FALSE));
  EXPECT_FALSE(IsTrustedDescriptor(&null_dacl, unsplit, kAnyAccess));
  EXPECT_FALSE(IsTrustedDescriptor(&null_dacl, unsplit, kWriteAccess));
  // A token whose user can't be read: only the built-in owners count.
  const SecurityDescriptor mine(L"O:" SID_ME L"D:P" PRIVATE_ACES);
  const TokenFacts unread =
      TokenFacts::Of(L"not a SID", TokenElevationTypeDefault);
  EXPECT_FALSE(unread.valid());
  EXPECT_FALSE(IsTrustedDescriptor(mine.get(), unread, kAnyAccess));
}

// The folder that holds the configuration folder: others may add entries,
// never rename or delete them or change its security.
TEST(FolderTrustTest, ParentThatNoOtherAccountMayChange) {
  const struct {
    const wchar_t* sddl;
    TOKEN_ELEVATION_TYPE elevation;
    bool machine;           // the machine's application data
    bool user_environment;  // the temporary-files folder
  } cases[] = {
      // ProgramData as Windows sets it up: users add entries, nothing more.
      {L"O:SYG:SYD:"
       L"P" PRIVATE_ACES L"(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)(A;CI;0x116;"
       L";;BU)",
       TokenElevationTypeFull, true, true},
      {L"O:SYD:P" PRIVATE_ACES L"(A;OICI;FA;;;WD)", TokenElevationTypeFull,
       false, false},
      {L"O:SYD:P" PRIVATE_ACES L"(A;;0x40;;;BU)", TokenElevationTypeFull, false,
       false},  // delete child
      {L"O:SYD:P" PRIVATE_ACES L"(A;;SD;;;AU)", TokenElevationTypeFull, false,
       false},
      {L"O:SYD:P" PRIVATE_ACES L"(A;;WD;;;BU)", TokenElevationTypeFull, false,
       false},
      {L"O:" SID_OTHER L"D:P" PRIVATE_ACES, TokenElevationTypeFull, false,
       false},
      // A user's own temporary folder is every unelevated program's of that
      // user under UAC.
      {L"O:" SID_ME L"D:P" PRIVATE_ACES L"(A;OICI;FA;;;" SID_ME L")",
       TokenElevationTypeFull, true, false},
      {L"O:" SID_ME L"D:P" PRIVATE_ACES L"(A;OICI;FA;;;" SID_ME L")",
       TokenElevationTypeLimited, true, false},
      {L"O:" SID_ME L"D:P" PRIVATE_ACES L"(A;OICI;FA;;;" SID_ME L")",
       TokenElevationTypeDefault, true, true},
      // Wine's read-back of C:\ProgramData.
      {WINE_PROGRAM_DATA, TokenElevationTypeFull, true, false},
  };
  for (const auto& c : cases) {
    ForRow(c.sddl, c.elevation, [&c](auto descriptor, auto& token) {
      EXPECT_EQ(IsUnchangeableParent(descriptor, token, FolderOrigin::kMachine),
                c.machine);
      EXPECT_EQ(IsUnchangeableParent(descriptor, token,
                                     FolderOrigin::kUserEnvironment),
                c.user_environment);
    });
  }
}

TEST(FolderTrustTest, OnlyAFolderDirectlyInTheTemporaryFolderIsTheUsers) {
  wchar_t temp[MAX_PATH + 1] = {};
  ASSERT_GT(::GetTempPathW(MAX_PATH + 1, temp), 0u);
  EXPECT_EQ(OriginOf(std::wstring(temp) + L"Keelhaven"),
            FolderOrigin::kUserEnvironment);
  EXPECT_EQ(OriginOf(std::wstring(temp) + L"sub\\Keelhaven"),
            FolderOrigin::kMachine);
  EXPECT_EQ(OriginOf(L"C:\\ProgramData\\Keelhaven"), FolderOrigin::kMachine);
}

// --- Taking the folder, under Wine ---------------------------------------
// There every existing folder reads back as the running account's and the
// token is elevated, so an existing folder is never trusted as it stands:
// it is moved aside, or (from the user's environment) refused. Windows
// would keep a folder that SYSTEM or Administrators own and nobody else
// may reach.

// The entries of `folder` whose names start with `prefix`.
std::vector<std::wstring> EntriesStartingWith(const std::wstring& folder,
                                              const std::wstring& prefix) {
  std::vector<std::wstring> names;
  ForEachEntry(folder + L"\\" + prefix + L"*",
               [&names](const std::wstring& name) { names.push_back(name); });
  return names;
}

TEST(TakeTrustedFolderTest, UntrustedFolderIsMovedAsideAndMadeAnew) {
  if (!RunningUnderWine()) GTEST_SKIP() << kNotUnderWine;
  using Before = std::function<bool(const std::wstring& folder)>;
  const struct {
    const char* name;
    Before before;
    bool moved;
  } cases[] = {
      {"missing", [](auto&) { return true; }, false},
      {"open to everyone, with a planted file and a key",
       [](auto& f) {
         return CreateFolders(f) && WriteWholeFile(f + L"\\planted", "p") &&
                WriteWholeFile(f + L"\\Keelhaven.conf", "key") &&
                OpenToEveryone(f);
       },
       true},
      {"private, but not made by this run",
       [](auto& f) {
         return CreateFolders(f) && WriteWholeFile(f + L"\\planted", "p");
       },
       true},
      {"a file", [](auto& f) { return WriteWholeFile(f, "x"); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder root;
    const std::wstring folder = root.Join(L"Keelhaven");
    ASSERT_TRUE(c.before(folder));
    LogCapture capture;
    HeldFolder held = TakeTrustedFolder(folder, FolderOrigin::kMachine);
    const std::vector<std::string> messages = NativeMessages(capture.Finish());
    ASSERT_TRUE(held.valid());
    EXPECT_EQ(held.path(), folder);
    // The new folder: empty and private.
    EXPECT_EQ(EntriesStartingWith(folder, L""), std::vector<std::wstring>{});
    ExpectClosedToEveryoneAndUsers(folder);

    const std::vector<std::wstring> moved =
        EntriesStartingWith(root.path(), L"Keelhaven.untrusted-");
    if (!c.moved) {
      EXPECT_EQ(messages, std::vector<std::string>{});
      EXPECT_TRUE(moved.empty());
    } else {
      ASSERT_EQ(moved.size(), 1u);
      EXPECT_EQ(moved[0].size(),
                std::wstring(L"Keelhaven.untrusted-").size() + 32);
      const std::wstring moved_path = root.Join(moved[0]);
      EXPECT_EQ(messages,
                std::vector<std::string>{
                    "WARNING: Folder could not be trusted as it was; moved it "
                    "aside to " +
                    WideToUtf8(moved_path) +
                    " and made a new one: " + WideToUtf8(folder)});
      // Nothing in it touched but the key.
      EXPECT_FALSE(FileExists(moved_path + L"\\Keelhaven.conf"));
      if (::GetFileAttributesW(moved_path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
        EXPECT_EQ(ReadWholeFile(moved_path + L"\\planted"), "p");
      }
    }

    // Made in this run, it is trusted for the run, held or not.
    held = HeldFolder();
    LogCapture again;
    EXPECT_TRUE(TakeTrustedFolder(folder, FolderOrigin::kMachine));
    EXPECT_EQ(again.Finish(), "");
    EXPECT_EQ(EntriesStartingWith(root.path(), L"Keelhaven.untrusted-").size(),
              moved.size());
  }
}

// Nothing is moved, deleted or written where the folder is refused.
TEST(TakeTrustedFolderTest, RefusedFolderIsLeftAsItIs) {
  if (!RunningUnderWine()) GTEST_SKIP() << kNotUnderWine;
  const std::string big_log(2 * 1024 * 1024, 'l');
  const struct {
    const char* name;
    bool link;  // else a folder of the user's environment
    FolderOrigin origin;
    const char* refusal;
  } cases[] = {
      {"a link to a folder with a key and a full log", true,
       FolderOrigin::kMachine, "it is a link"},
      // Under Wine its parent already fails the rule.
      {"the user's, found as it is", false, FolderOrigin::kUserEnvironment,
       "others may change its parent"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder root;
    TempFolder elsewhere;
    const std::wstring folder = root.Join(L"Keelhaven");
    const std::wstring contents = c.link ? elsewhere.path() : folder;
    ASSERT_TRUE(CreateFolders(contents));
    ASSERT_TRUE(WriteWholeFile(contents + L"\\Keelhaven.conf", "key"));
    ASSERT_TRUE(WriteWholeFile(contents + L"\\keelhaven.log", big_log));
    if (c.link) ASSERT_TRUE(MakeSymbolicLink(folder, elsewhere.path()));

    LogCapture capture;
    {
      // What the host does at start: take the folder, log into it.
      auto held =
          std::make_shared<HeldFolder>(TakeTrustedFolder(folder, c.origin));
      EXPECT_FALSE(held->valid());
      SetNativeLogFile(held, L"keelhaven.log");
      NativeLog("a line that must not land there");
      SetNativeLogFile(nullptr, L"");
    }
    EXPECT_EQ(NativeMessages(capture.Finish()),
              (std::vector<std::string>{
                  "ERROR: Folder not trusted, nothing is written there: " +
                      WideToUtf8(folder) + " (" + c.refusal + ")",
                  "a line that must not land there"}));
    EXPECT_EQ(ReadWholeFile(contents + L"\\Keelhaven.conf"), "key");
    EXPECT_EQ(ReadWholeFile(contents + L"\\keelhaven.log"), big_log);
    EXPECT_FALSE(FileExists(contents + L"\\keelhaven.log.1"));
    EXPECT_EQ(EntriesStartingWith(root.path(), L"Keelhaven.untrusted").size(),
              0u);
    EXPECT_EQ(EntriesStartingWith(contents, L"").size(), 2u);
  }
}

// The parent of a folder from the user's environment must pass the rule as
// it stands; under Wine no existing folder does, so none is made there.
TEST(TakeTrustedFolderTest, UsersFolderIsNotMadeInAParentOthersMayChange) {
  if (!RunningUnderWine()) GTEST_SKIP() << kNotUnderWine;
  TempFolder root;
  const std::wstring folder = root.Join(L"Keelhaven");
  LogCapture capture;
  EXPECT_FALSE(TakeTrustedFolder(folder, FolderOrigin::kUserEnvironment));
  EXPECT_EQ(NativeMessages(capture.Finish()),
            std::vector<std::string>{
                "ERROR: Folder not trusted, nothing is written there: " +
                WideToUtf8(folder) + " (others may change its parent)"});
  EXPECT_FALSE(FileExists(folder));
}

// What the rule is given here. Wine's token is an elevated one (Full), so
// there the running account is never trusted.
TEST(TokenFactsTest, ThisProcessesUserAndElevation) {
  const TokenFacts token = TokenFacts::OfThisProcess();
  ASSERT_TRUE(token.valid());
  EXPECT_EQ(token.UserText().rfind(L"S-1-5-", 0), 0u);
  if (RunningUnderWine()) {
    EXPECT_EQ(token.elevation(), TokenElevationTypeFull);
    EXPECT_EQ(token.SoleUser(), nullptr);
  }
}

}  // namespace
