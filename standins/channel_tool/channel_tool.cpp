// channel_tool: writes method calls for the stand-in engine's scripts and
// reads the replies in its transcripts.
//
//   channel_tool encode-call <method> [key=value ...]
//       Prints the call's bytes as hex, ready for a script's send line. With
//       parameters the call's arguments are a map of strings.
//   channel_tool decode-reply [<hex> ...]
//       Prints one readable line per reply, e.g. "success null" or
//       "error WIREGUARD_NOT_INSTALLED "..."". An empty argument is the
//       empty reply: "not implemented".
//
// Exit code 0, or 2 for a bad command line.
#include <cstdio>
#include <string>
#include <vector>

#include "standins/channel_tool/channel_text.h"
#include "util/native_log.h"

namespace {

constexpr int kUsageError = 2;

constexpr char kUsage[] =
    "usage: channel_tool encode-call <method> [key=value ...]\n"
    "       channel_tool decode-reply [<hex> ...]\n";

void Print(const std::string& line) {
  const std::string text = line + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
}

int Fail(const std::string& message) {
  std::fputs((message + "\n" + kUsage).c_str(), stderr);
  return kUsageError;
}

int EncodeCall(const std::vector<std::string>& words) {
  if (words.empty()) return Fail("encode-call needs a method name");
  std::vector<channel_text::Parameter> parameters;
  for (size_t i = 1; i < words.size(); ++i) {
    channel_text::Parameter parameter;
    if (!channel_text::ParseParameter(words[i], &parameter)) {
      return Fail("not key=value: " + words[i]);
    }
    parameters.push_back(parameter);
  }
  Print(ToHex(channel_text::EncodeCall(words[0], parameters)));
  return 0;
}

int DecodeReplies(const std::vector<std::string>& words) {
  for (const std::string& hex : words) {
    std::vector<uint8_t> reply;
    if (!ParseHex(hex, &reply)) return Fail("not hex: " + hex);
    Print(channel_text::DescribeReply(reply));
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Fail("no command");
  const std::string command = WideToUtf8(argv[1]);
  std::vector<std::string> words;
  // Arguments are taken as UTF-8, so parameters may hold any text.
  for (int i = 2; i < argc; ++i) words.push_back(WideToUtf8(argv[i]));
  if (command == "encode-call") return EncodeCall(words);
  if (command == "decode-reply") return DecodeReplies(words);
  return Fail("unknown command " + command);
}
