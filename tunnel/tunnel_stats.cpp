#include "tunnel/tunnel_stats.h"

#include <cstdint>
#include <limits>

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

std::string HideDumpPrivateKey(const std::string& dump) {
  const size_t end = dump.find_first_of("\t\r\n");
  const size_t length = end == std::string::npos ? dump.size() : end;
  if (length == 0) return dump;
  return "(hidden)" + dump.substr(length);
}
