// Text the tests compare: byte strings in hex, lines, and the native log's
// lines. Portable: every build's tests may use it.
#ifndef KEELHAVEN_TESTS_SUPPORT_TEXT_H_
#define KEELHAVEN_TESTS_SUPPORT_TEXT_H_

#include <cstdint>
#include <string>
#include <vector>

// "07 03 616263" -> {0x07, 0x03, 0x61, 0x62, 0x63}: white space is ignored,
// anything else that is not hex fails the test.
std::vector<uint8_t> Bytes(const std::string& hex);
// {0x07, 0x03, 0x61} -> "07 03 61": a failure shows where bytes differ.
std::string Hex(const std::vector<uint8_t>& bytes);

std::string Repeat(const std::string& text, size_t count);

// `text` cut at every line feed, which is removed; nothing else is. A final
// line feed adds no empty line.
std::vector<std::string> Lines(const std::string& text);

// The first or the last `count` of `lines` (all of them when there are
// fewer), to compare with what must lead or end a log.
std::vector<std::string> First(const std::vector<std::string>& lines,
                               size_t count);
std::vector<std::string> Last(const std::vector<std::string>& lines,
                              size_t count);

// One line of the native log as written: prefix, message, line feed.
std::string Line(const std::string& message);
// The messages of the native log lines in `text`, prefix and line feed
// removed, in order. A message holding line breaks spans several lines;
// only its first line carries the prefix, so only that line is listed.
std::vector<std::string> NativeMessages(const std::string& text);
// True when some native message starts with `prefix`.
bool HasMessageStartingWith(const std::vector<std::string>& messages,
                            const std::string& prefix);

#endif  // KEELHAVEN_TESTS_SUPPORT_TEXT_H_
