#include "tunnel/tunnel_stats.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kRxColumn = 5;
constexpr size_t kTxColumn = 6;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

// Applies one peer line's counter columns.
void ParsePeerLine(const std::string& line, TunnelStats& stats) {
  if (line.empty()) return;
  size_t column = 0;
  size_t start = 0;
  while (column <= kTxColumn) {
    size_t end = line.find('\t', start);
    if (end == std::string::npos) end = line.size();
    if (column == kRxColumn || column == kTxColumn) {
      int64_t value = 0;
      if (ParseLeadingInt64(line.substr(start, end - start), value)) {
        (column == kRxColumn ? stats.bytes_down : stats.bytes_up) = value;
      }
    }
    if (end == line.size()) break;
    start = end + 1;
    ++column;
  }
}

constexpr char kHidden[] = "(hidden)";
constexpr size_t kInterfaceFields = 4;  // private key first
constexpr size_t kPeerFields = 8;       // preshared key second

bool IsBase64Character(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         (c >= '0' && c <= '9') || c == '+' || c == '/' || c == '=';
}

// True when `field`, in a line of `count` fields at `index`, may hold a
// secret.
bool MayBeSecret(std::string_view field, size_t index, size_t count) {
  if (field.empty()) return false;
  if (count == kInterfaceFields) return index == 0;
  if (count == kPeerFields) return index == 1 && field != "(none)";
  for (char c : field) {
    if (!IsBase64Character(c)) return false;
  }
  return true;
}

// Appends `line` (without its line feed) to `shown`, secrets hidden. Carriage
// returns at its end belong to the line break, not to the last field.
void HideLineSecrets(std::string_view line, std::string& shown) {
  const size_t text_end = line.find_last_not_of('\r') + 1;  // npos + 1 == 0
  const std::string_view text = line.substr(0, text_end);
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t end = std::min(text.find('\t', start), text.size());
    fields.push_back(text.substr(start, end - start));
    if (end == text.size()) break;
    start = end + 1;
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) shown += '\t';
    if (MayBeSecret(fields[i], i, fields.size())) {
      shown += kHidden;
    } else {
      shown.append(fields[i].data(), fields[i].size());
    }
  }
  shown.append(line.substr(text_end).data(), line.size() - text_end);
}

}  // namespace

bool ParseLeadingInt64(const std::string& text, int64_t& value) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate as a negative number, whose range is the larger one.
  const int64_t min = std::numeric_limits<int64_t>::min();
  int64_t result = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    const int digit = text[i] - '0';
    if (result < (min + digit) / 10) return false;
    result = result * 10 - digit;
  }
  if (digits == 0) return false;
  if (!negative) {
    if (result == min) return false;
    result = -result;
  }
  value = result;
  return true;
}

void ParseTunnelDump(const std::string& dump, TunnelStats& stats) {
  size_t start = dump.find('\n');  // the interface line is skipped
  if (start == std::string::npos) return;
  ++start;
  while (start < dump.size()) {
    size_t end = dump.find('\n', start);
    if (end == std::string::npos) end = dump.size();
    ParsePeerLine(dump.substr(start, end - start), stats);
    start = end + 1;
  }
}

std::string HideDumpSecrets(const std::string& dump) {
  std::string shown;
  shown.reserve(dump.size());
  size_t start = 0;
  while (start < dump.size()) {
    size_t end = dump.find('\n', start);
    if (end == std::string::npos) end = dump.size();
    HideLineSecrets(std::string_view(dump).substr(start, end - start), shown);
    if (end < dump.size()) shown += '\n';
    start = end + 1;
  }
  return shown;
}

std::string HideKeys(std::string_view text) {
  constexpr size_t kKeyCharacters = 43;  // and the "=" after them
  std::string shown;
  shown.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (!IsBase64Character(text[i]) || text[i] == '=') {
      shown += text[i++];
      continue;
    }
    size_t end = i;
    while (end < text.size() && IsBase64Character(text[end]) &&
           text[end] != '=') {
      ++end;
    }
    const bool key =
        end - i == kKeyCharacters && end < text.size() && text[end] == '=' &&
        (end + 1 == text.size() || !IsBase64Character(text[end + 1]));
    if (key) {
      shown += kHidden;
      end += 1;
    } else {
      shown.append(text.substr(i, end - i));
    }
    i = end;
  }
  return shown;
}
