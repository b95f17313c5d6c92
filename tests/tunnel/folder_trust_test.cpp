// The trust rule over security descriptors given as SDDL, in-process: the
// same whether or not the file system enforces (or even keeps) them.
#include "tunnel/folder_trust.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

#include "tests/support/wine.h"
#include "tunnel/config_security.h"
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
    SCOPED_TRACE(WideToUtf8(c.sddl) + " elevation " +
                 std::to_string(c.elevation));
    const SecurityDescriptor descriptor(c.sddl);
    ASSERT_TRUE(descriptor.valid());
    const TokenFacts token = TokenFacts::Of(SID_ME, c.elevation);
    ASSERT_TRUE(token.valid());
    EXPECT_EQ(IsTrustedDescriptor(descriptor.get(), token, kAnyAccess),
              c.private_folder);
    EXPECT_EQ(IsTrustedDescriptor(descriptor.get(), token, kWriteAccess),
              c.program);
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
