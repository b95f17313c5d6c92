// Who this process is, as its access token tells it: read once, then
// handed to the rules that decide whom to trust and whom to let in.
#ifndef KEELHAVEN_UTIL_TOKEN_FACTS_H_
#define KEELHAVEN_UTIL_TOKEN_FACTS_H_

#include <string>
#include <vector>

#include "util/windows_include.h"

class TokenFacts {
 public:
  // This process's token. Invalid when its user can't be read; an
  // elevation type that can't be read counts as split (Full).
  static TokenFacts OfThisProcess();
  // A token of the user given as SID text ("S-1-5-..."), for rules judged
  // in-process. Invalid when the text is no SID.
  static TokenFacts Of(const wchar_t* user_sid, TOKEN_ELEVATION_TYPE elevation);

  bool valid() const { return !user_.empty(); }
  // The token's user SID; null when invalid.
  PSID user() const;
  // The user SID as text; empty when invalid.
  std::wstring UserText() const;
  TOKEN_ELEVATION_TYPE elevation() const { return elevation_; }

  // The user, when only this process can act as it: the token is not
  // split (UAC is off, or this is the built-in Administrator). Under UAC
  // every unelevated program of the user carries the same user SID, so an
  // elevated (Full) or filtered (Limited) token's user is another account.
  // Null otherwise.
  PSID SoleUser() const;

 private:
  std::vector<BYTE> user_;  // a SID, copied
  TOKEN_ELEVATION_TYPE elevation_ = TokenElevationTypeFull;
};

#endif  // KEELHAVEN_UTIL_TOKEN_FACTS_H_
