// The rule for programs found on the search path, over chains of security
// descriptors given as SDDL, and the chain as read and held under Wine.
#include "tunnel/path_chain_trust.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/standins/standin_wireguard.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wine.h"
#include "util/command_runner.h"
#include "util/native_log.h"
#include "util/security_descriptor.h"
#include "util/token_facts.h"
#include "util/windows_include.h"

namespace {

#define SID_ME L"S-1-5-21-1111-2222-3333-1001"
#define PRIVATE_ACES L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
// A drive root as Windows sets it up: users may add folders to it, and
// whoever makes one owns it.
#define ROOT                                                         \
  L"O:SYD:PAI(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)(A;OICIIO;GA;;;CO)" \
  L"(A;OICI;0x1200a9;;;BU)" PRIVATE_ACES
// Program Files: administrators only.
#define PROGRAMS L"O:BAD:P" PRIVATE_ACES L"(A;OICI;0x1200a9;;;BU)"
#define PROGRAM L"O:BAD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)"
// A folder an administrator made under the root: it inherits Modify
// (delete included) for every signed-in user.
#define FOLDER_UNDER_ROOT                                 \
  L"O:BAD:AI(A;OICIID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)" \
  L"(A;OICIIOID;SDGXGWGR;;;AU)(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)"

constexpr DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;
constexpr DWORD kFile = FILE_ATTRIBUTE_ARCHIVE;
constexpr DWORD kLinkedFolder =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;

struct Component {
  const wchar_t* sddl;  // null: unread
  DWORD attributes;
};

TEST(PathChainTrustTest, EveryComponentFromTheRootDown) {
  const struct {
    const char* name;
    std::vector<Component> chain;
    ChainVerdict verdict;
    UINT drive = DRIVE_FIXED;
    TOKEN_ELEVATION_TYPE elevation = TokenElevationTypeFull;
  } cases[] = {
      {"in Program Files",
       {{ROOT, kFolder},
        {PROGRAMS, kFolder},
        {PROGRAMS, kFolder},
        {PROGRAM, kFile}},
       ChainVerdict::kTrusted},
      {"in a folder an administrator made under the root",
       {{ROOT, kFolder}, {FOLDER_UNDER_ROOT, kFolder}, {PROGRAM, kFile}},
       ChainVerdict::kChangeable},
      {"in a folder users may add files to",
       {{ROOT, kFolder},
        {PROGRAMS, kFolder},
        {PROGRAMS L"(A;;0x2;;;BU)", kFolder},
        {PROGRAM, kFile}},
       ChainVerdict::kChangeable},
      // Adding entries above the program's own folder changes nothing.
      {"under a folder users may add folders to",
       {{ROOT, kFolder},
        {PROGRAMS L"(A;;0x6;;;BU)", kFolder},
        {PROGRAMS, kFolder},
        {PROGRAM, kFile}},
       ChainVerdict::kTrusted},
      {"under a folder users may rename",
       {{ROOT, kFolder},
        {PROGRAMS L"(A;;SD;;;BU)", kFolder},
        {PROGRAMS, kFolder},
        {PROGRAM, kFile}},
       ChainVerdict::kChangeable},
      {"under a folder whose entries users may delete",
       {{ROOT, kFolder},
        {PROGRAMS L"(A;;0x40;;;BU)", kFolder},
        {PROGRAMS, kFolder},
        {PROGRAM, kFile}},
       ChainVerdict::kChangeable},
      {"under a folder users may change the access of",
       {{ROOT, kFolder},
        {PROGRAMS L"(A;;WD;;;BU)", kFolder},
        {PROGRAMS, kFolder},
        {PROGRAM, kFile}},
       ChainVerdict::kChangeable},
      {"program users may append to",
       {{ROOT, kFolder},
        {PROGRAMS, kFolder},
        {PROGRAM L"(A;;0x4;;;BU)", kFile}},
       ChainVerdict::kChangeable},
      {"through a link",
       {{ROOT, kFolder}, {PROGRAMS, kLinkedFolder}, {PROGRAM, kFile}},
       ChainVerdict::kLink},
      {"on a network drive",
       {{ROOT, kFolder}, {PROGRAMS, kFolder}, {PROGRAM, kFile}},
       ChainVerdict::kNotLocalFixedDrive,
       DRIVE_REMOTE},
      {"a component unread",
       {{ROOT, kFolder}, {nullptr, kFolder}, {PROGRAM, kFile}},
       ChainVerdict::kUnreadable},
      {"a file where a folder belongs",
       {{ROOT, kFolder}, {PROGRAMS, kFile}, {PROGRAM, kFile}},
       ChainVerdict::kNotAProgramPath},
      {"a folder as the program",
       {{ROOT, kFolder}, {PROGRAMS, kFolder}},
       ChainVerdict::kNotAProgramPath},
      // The running account's own folder is also every unelevated
      // program's of that user, unless its token isn't split.
      {"in the running account's folder, elevated",
       {{ROOT, kFolder},
        {L"O:" SID_ME L"D:P(A;OICI;FA;;;" SID_ME L")" PRIVATE_ACES, kFolder},
        {L"O:" SID_ME L"D:P(A;;FA;;;" SID_ME L")" PRIVATE_ACES, kFile}},
       ChainVerdict::kChangeable},
      {"in the running account's folder, token not split",
       {{ROOT, kFolder},
        {L"O:" SID_ME L"D:P(A;OICI;FA;;;" SID_ME L")" PRIVATE_ACES, kFolder},
        {L"O:" SID_ME L"D:P(A;;FA;;;" SID_ME L")" PRIVATE_ACES, kFile}},
       ChainVerdict::kTrusted,
       DRIVE_FIXED,
       TokenElevationTypeDefault},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<SecurityDescriptor> descriptors;
    descriptors.reserve(c.chain.size());
    std::vector<PathComponent> chain;
    for (const Component& component : c.chain) {
      descriptors.emplace_back(component.sddl ? component.sddl : L"");
      if (component.sddl) ASSERT_TRUE(descriptors.back().valid());
      chain.push_back({component.sddl ? descriptors.back().get() : nullptr,
                       component.attributes});
    }
    EXPECT_EQ(
        JudgeProgramChain(chain, c.drive, TokenFacts::Of(SID_ME, c.elevation)),
        c.verdict);
  }
}

// Under Wine every file reads back as the running account's, so a chain
// counts only for a token that isn't split; with it, the chain is held:
// the folder can't be renamed, the program deleted or written, until it is
// let go. A Unix symbolic link on the way is seen as a link, and nothing
// behind it is held.
TEST(PathChainTrustTest, ChainIsReadAndHeldUnderWine) {
  if (!RunningUnderWine()) GTEST_SKIP() << kNotUnderWine;
  TempFolder root;
  const std::wstring folder = root.Join(L"tools");
  const std::wstring program = folder + L"\\wg.exe";
  ASSERT_TRUE(CopyStandinTools(folder, {L"wg.exe"}));
  const TokenFacts token = TokenFacts::OfThisProcess();
  ASSERT_TRUE(token.valid());
  const TokenFacts unsplit =
      TokenFacts::Of(token.UserText().c_str(), TokenElevationTypeDefault);

  EXPECT_EQ(HeldProgramChain::Open(program, token).verdict(),
            ChainVerdict::kChangeable);
  const std::wstring moved = root.Join(L"moved");
  {
    const HeldProgramChain held = HeldProgramChain::Open(program, unsplit);
    ASSERT_EQ(held.verdict(), ChainVerdict::kTrusted);
    EXPECT_EQ(held.path(), program);
    EXPECT_FALSE(::MoveFileW(folder.c_str(), moved.c_str()));
    EXPECT_FALSE(::DeleteFileW(program.c_str()));
    const UniqueFileHandle write(::CreateFileW(program.c_str(), FILE_WRITE_DATA,
                                               FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(write.valid());
    // Held, it still starts, by the checked path whatever the command line
    // names first.
    RunOptions options;
    options.application_name = held.path();
    std::string output;
    LogCapture quiet;
    EXPECT_EQ(RunCommand(L"\"elsewhere\\wg.exe\" show Keelhaven", &output,
                         10000, options),
              1);
    EXPECT_NE(output.find("Unable to access interface"), std::string::npos);
  }
  ASSERT_TRUE(::MoveFileW(folder.c_str(), moved.c_str()));
  ASSERT_TRUE(::MoveFileW((moved + L"\\wg.exe").c_str(),
                          (moved + L"\\wg1.exe").c_str()));
  ASSERT_TRUE(::MoveFileW((moved + L"\\wg1.exe").c_str(),
                          (moved + L"\\wg.exe").c_str()));

  ASSERT_TRUE(MakeSymbolicLink(folder, moved));
  EXPECT_EQ(HeldProgramChain::Open(program, unsplit).verdict(),
            ChainVerdict::kLink);
  // Nothing beyond the link was held.
  EXPECT_TRUE(::MoveFileW((moved + L"\\wg.exe").c_str(),
                          (moved + L"\\wg2.exe").c_str()));
}

}  // namespace
