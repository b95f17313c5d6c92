#include "standins/common/text.h"

#include <utility>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

template <typename Bytes>
bool ParseHexInto(std::string_view hex, Bytes* bytes) {
  if (hex.size() % 2 != 0) return false;
  Bytes parsed;
  parsed.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]);
    const int low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    parsed.push_back(static_cast<typename Bytes::value_type>(high << 4 | low));
  }
  *bytes = std::move(parsed);
  return true;
}

}  // namespace

std::string ToHex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0f];
  }
  return hex;
}

bool ParseHex(std::string_view hex, std::string* bytes) {
  return ParseHexInto(hex, bytes);
}

bool ParseHex(std::string_view hex, std::vector<uint8_t>* bytes) {
  return ParseHexInto(hex, bytes);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> SplitWords(std::string_view text) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    const size_t start = i;
    while (i < text.size() && !IsBlank(text[i])) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool ParseInteger(std::string_view text, int64_t min, int64_t max,
                  int64_t* value) {
  const bool negative = min < 0 && !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty()) return false;
  // The magnitude is gathered unsigned and checked against the limit before
  // every step, so a long digit string can never overflow.
  const uint64_t limit = negative ? uint64_t{0} - static_cast<uint64_t>(min)
                                  : static_cast<uint64_t>(max);
  uint64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (magnitude > limit / 10) return false;
    magnitude *= 10;
    if (digit > limit - magnitude) return false;
    magnitude += digit;
  }
  if (negative) {
    *value = magnitude == 0 ? 0 : -static_cast<int64_t>(magnitude - 1) - 1;
    return true;
  }
  if (static_cast<int64_t>(magnitude) < min) return false;
  *value = static_cast<int64_t>(magnitude);
  return true;
}
