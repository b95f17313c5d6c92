// Small byte-string helpers shared by the stand-ins (their scripts, fault
// files, transcripts and channel text) and by the tests that speak to them.
// Portable: built in every build.
#ifndef KEELHAVEN_STANDINS_COMMON_TEXT_H_
#define KEELHAVEN_STANDINS_COMMON_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Lowercase hex, two digits a byte, no separators.
std::string ToHex(std::string_view bytes);
inline std::string ToHex(const uint8_t* data, size_t size) {
  return ToHex({reinterpret_cast<const char*>(data), size});
}
inline std::string ToHex(const std::vector<uint8_t>& bytes) {
  return ToHex(bytes.data(), bytes.size());
}

// Two hex digits a byte, in either case. False, with `bytes` untouched, on
// an odd length or a character that is not a hex digit.
bool ParseHex(std::string_view hex, std::string* bytes);
bool ParseHex(std::string_view hex, std::vector<uint8_t>* bytes);

// Lines split at LF; a CR before the LF is dropped; a final LF adds no
// empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

// Without leading and trailing spaces and tabs.
std::string_view TrimBlanks(std::string_view text);

// Pieces between runs of spaces and tabs; no empty pieces.
std::vector<std::string_view> SplitWords(std::string_view text);

// ASCII letters compared without case; other bytes exactly.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// A non-empty run of decimal digits, with a leading '-' only when `min` is
// negative, whose value lies in [min, max] (max >= 0). No blanks, no '+'.
bool ParseInteger(std::string_view text, int64_t min, int64_t max,
                  int64_t* value);

#endif  // KEELHAVEN_STANDINS_COMMON_TEXT_H_
