#include "util/token_facts.h"

#include <memory>

#include "util/unique_handle.h"

// After windows.h:
#include <sddl.h>

namespace {

std::vector<BYTE> CopySid(PSID sid) {
  if (sid == nullptr || !::IsValidSid(sid)) return {};
  const auto* bytes = static_cast<const BYTE*>(sid);
  return std::vector<BYTE>(bytes, bytes + ::GetLengthSid(sid));
}

}  // namespace

TokenFacts TokenFacts::OfThisProcess() {
  TokenFacts facts;
  UniqueKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) {
    token.release();  // nothing to close on failure
    return facts;
  }
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size < sizeof(TOKEN_USER)) return facts;
  // TOKEN_USER holds a pointer; the storage must be aligned for it.
  auto storage = std::make_unique<void*[]>(size / sizeof(void*) + 1);
  auto* user = reinterpret_cast<TOKEN_USER*>(storage.get());
  if (!::GetTokenInformation(token.get(), TokenUser, user, size, &size)) {
    return facts;
  }
  facts.user_ = CopySid(user->User.Sid);
  TOKEN_ELEVATION_TYPE elevation = TokenElevationTypeFull;
  if (::GetTokenInformation(token.get(), TokenElevationType, &elevation,
                            sizeof(elevation), &size)) {
    facts.elevation_ = elevation;
  }
  return facts;
}

TokenFacts TokenFacts::Of(const wchar_t* user_sid,
                          TOKEN_ELEVATION_TYPE elevation) {
  TokenFacts facts;
  facts.elevation_ = elevation;
  PSID sid = nullptr;
  if (::ConvertStringSidToSidW(user_sid, &sid)) {
    const UniqueLocalMemory owner(sid);
    facts.user_ = CopySid(sid);
  }
  return facts;
}

PSID TokenFacts::user() const {
  return valid() ? const_cast<BYTE*>(user_.data()) : nullptr;
}

std::wstring TokenFacts::UserText() const {
  wchar_t* text = nullptr;
  if (!valid() || !::ConvertSidToStringSidW(user(), &text)) {
    return std::wstring();
  }
  const UniqueLocalMemory owner(text);
  return std::wstring(text);
}

PSID TokenFacts::SoleUser() const {
  return elevation_ == TokenElevationTypeDefault ? user() : nullptr;
}
