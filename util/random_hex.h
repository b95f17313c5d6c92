// Names no one can guess ahead of time.
#ifndef KEELHAVEN_UTIL_RANDOM_HEX_H_
#define KEELHAVEN_UTIL_RANDOM_HEX_H_

#include <string>

// 128 bits from the system's random generator (BCryptGenRandom) as 32
// lowercase hexadecimal digits; empty when the generator gives none.
std::wstring RandomHex();

#endif  // KEELHAVEN_UTIL_RANDOM_HEX_H_
