#include "tests/support/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

constexpr char kPrefix[] = "[Keelhaven Native] ";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::vector<uint8_t> Bytes(const std::string& hex) {
  std::string digits;
  for (const char c : hex) {
    if (!std::isspace(static_cast<unsigned char>(c))) digits += c;
  }
  const bool valid =
      digits.size() % 2 == 0 &&
      digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
  EXPECT_TRUE(valid) << hex;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; valid && i < digits.size(); i += 2) {
    bytes.push_back(
        static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string spaced;
  char byte_text[4];
  for (const uint8_t byte : bytes) {
    std::snprintf(byte_text, sizeof(byte_text),
                  spaced.empty() ? "%02x" : " %02x", byte);
    spaced += byte_text;
  }
  return spaced;
}

std::string Repeat(const std::string& text, size_t count) {
  std::string result;
  for (size_t i = 0; i < count; ++i) result += text;
  return result;
}

std::vector<std::string> First(const std::vector<std::string>& lines,
                               size_t count) {
  return {lines.begin(), lines.begin() + std::min(count, lines.size())};
}

std::vector<std::string> Last(const std::vector<std::string>& lines,
                              size_t count) {
  return {lines.end() - std::min(count, lines.size()), lines.end()};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string Line(const std::string& message) {
  return kPrefix + message + "\n";
}

std::vector<std::string> NativeMessages(const std::string& text) {
  std::vector<std::string> messages;
  for (const std::string& line : Lines(text)) {
    if (StartsWith(line, kPrefix)) {
      messages.push_back(line.substr(sizeof(kPrefix) - 1));
    }
  }
  return messages;
}

bool HasMessageStartingWith(const std::vector<std::string>& messages,
                            const std::string& prefix) {
  for (const std::string& message : messages) {
    if (StartsWith(message, prefix)) return true;
  }
  return false;
}
