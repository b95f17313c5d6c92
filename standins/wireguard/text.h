// Small byte-string helpers shared by the stand-ins' parsers.
#ifndef KEELHAVEN_STANDINS_WIREGUARD_TEXT_H_
#define KEELHAVEN_STANDINS_WIREGUARD_TEXT_H_

#include <cstdint>
#include <string_view>
#include <vector>

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

#endif  // KEELHAVEN_STANDINS_WIREGUARD_TEXT_H_
