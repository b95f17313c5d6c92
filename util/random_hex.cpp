#include "util/random_hex.h"

#include <string>

#include "util/windows_include.h"
// After windows.h:
#include <bcrypt.h>

std::wstring RandomHex() {
  unsigned char random[16];
  // An NTSTATUS: negative on failure (not every SDK's bcrypt.h has
  // BCRYPT_SUCCESS).
  if (::BCryptGenRandom(nullptr, random, sizeof(random),
                        BCRYPT_USE_SYSTEM_PREFERRED_RNG) < 0) {
    return std::wstring();
  }
  static constexpr wchar_t kHex[] = L"0123456789abcdef";
  std::wstring hex;
  for (const unsigned char byte : random) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 0xF];
  }
  return hex;
}
