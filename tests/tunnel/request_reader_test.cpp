#include "tunnel/request_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "tests/support/test_keys.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

// The replies a request can be refused with.
enum class Verdict { kAccepted, kNotAMap, kMissing, kLineBreak };

const std::string kFallback =
    "serverPublicKey not provided, falling back to publicKey";
const std::string kDnsDefault = "DNS empty, defaulting to: 1.1.1.1, 1.0.0.1";
const std::string kKeys =
    "Keys: clientPubKey=" + kTestClientKey + ", serverPubKey=" + kTestServerKey;

EncodableMap Full() {
  return EncodableMap{
      {EncodableValue("privateKey"), EncodableValue(kTestPrivateKey)},
      {EncodableValue("publicKey"), EncodableValue(kTestClientKey)},
      {EncodableValue("serverPublicKey"), EncodableValue(kTestServerKey)},
      {EncodableValue("endpoint"), EncodableValue(kTestEndpoint)},
      {EncodableValue("allowedIps"), EncodableValue("10.0.0.0/8")},
      {EncodableValue("dns"), EncodableValue("9.9.9.9")},
      {EncodableValue("address"), EncodableValue("10.8.0.2/32")},
  };
}

// Full() with the keys given set to their values; a null value removes the
// key.
EncodableValue With(
    std::initializer_list<std::pair<const char*, EncodableValue>> changes) {
  EncodableMap map = Full();
  for (const auto& [key, value] : changes) {
    if (value.IsNull()) {
      map.erase(EncodableValue(key));
    } else {
      map[EncodableValue(key)] = value;
    }
  }
  return EncodableValue(map);
}

// The reply's code and message for a verdict.
std::pair<std::string, std::string> Reply(Verdict verdict) {
  switch (verdict) {
    case Verdict::kNotAMap:
      return {"INVALID_ARGUMENTS",
              "establishTunnel requires a map of config params"};
    case Verdict::kMissing:
      return {"INVALID_CONFIG",
              "privateKey, serverPublicKey, and endpoint are required"};
    case Verdict::kLineBreak:
      return {"INVALID_CONFIG",
              "Config values must not contain line breaks or NUL characters"};
    case Verdict::kAccepted:
      break;
  }
  return {};
}

TEST(ReadTunnelRequestTest, RefusesFallsBackAndDefaultsAsLogged) {
  // A byte list with the key's bytes is another key.
  EncodableMap byte_list_key = Full();
  byte_list_key.erase(EncodableValue("privateKey"));
  byte_list_key[EncodableValue(
      std::vector<uint8_t>{'p', 'r', 'i', 'v', 'a', 't', 'e', 'K', 'e', 'y'})] =
      EncodableValue(kTestPrivateKey);
  const EncodableValue none;
  const EncodableValue blank("  ");
  const std::string client_twice = "Keys: clientPubKey=" + kTestClientKey +
                                   ", serverPubKey=" + kTestClientKey;

  const struct {
    const char* name;
    std::optional<EncodableValue> arguments;  // nullopt: no arguments
    Verdict verdict;
    std::vector<std::string> log = {};
    // What an accepted request holds.
    std::string server_key = kTestServerKey;
    std::string dns = "9.9.9.9";
  } cases[] = {
      {"no arguments", std::nullopt, Verdict::kNotAMap, {}},
      {"null", none, Verdict::kNotAMap, {}},
      {"list", EncodableValue(flutter::EncodableList{none}), Verdict::kNotAMap},
      {"string", EncodableValue("privateKey=abc"), Verdict::kNotAMap},
      {"all given", With({}), Verdict::kAccepted, {kKeys}},
      {"numeric private key", With({{"privateKey", EncodableValue(42)}}),
       Verdict::kMissing},
      {"byte list key", EncodableValue(byte_list_key), Verdict::kMissing},
      {"no endpoint", With({{"endpoint", none}}), Verdict::kMissing},
      {"no server keys",
       With({{"serverPublicKey", none}, {"publicKey", none}}),
       Verdict::kMissing,
       {kFallback}},
      {"client key as the server's",
       With({{"serverPublicKey", none}}),
       Verdict::kAccepted,
       {kFallback, client_twice},
       kTestClientKey},
      // Blanks only: what the file would hold is empty.
      {"blank private key", With({{"privateKey", blank}}), Verdict::kMissing},
      {"blank server key", With({{"serverPublicKey", EncodableValue(" \t")}}),
       Verdict::kMissing},
      {"blank client key as the server's",
       With({{"serverPublicKey", none}, {"publicKey", blank}}),
       Verdict::kMissing,
       {kFallback}},
      {"blank endpoint", With({{"endpoint", EncodableValue("\r\n")}}),
       Verdict::kMissing},
      {"empty dns",
       With({{"dns", EncodableValue("")}}),
       Verdict::kAccepted,
       {kDnsDefault, kKeys},
       kTestServerKey,
       "1.1.1.1, 1.0.0.1"},
      {"no dns",
       With({{"dns", none}}),
       Verdict::kAccepted,
       {kDnsDefault, kKeys},
       kTestServerKey,
       "1.1.1.1, 1.0.0.1"},
      // Not empty here; the file's own default takes over.
      {"blank dns",
       With({{"dns", blank}}),
       Verdict::kAccepted,
       {kKeys},
       kTestServerKey,
       "  "},
      {"padded key",
       With({{"privateKey", EncodableValue(" k ")}}),
       Verdict::kAccepted,
       {kKeys}},
      {"trailing line break only",
       With({{"dns", EncodableValue("9.9.9.9\n")}}),
       Verdict::kAccepted,
       {kKeys},
       kTestServerKey,
       "9.9.9.9\n"},
      {"line break in dns", With({{"dns", EncodableValue("1.1.1.1\r\nx = 1")}}),
       Verdict::kLineBreak},
      {"line feed in endpoint", With({{"endpoint", EncodableValue("e\n[P]")}}),
       Verdict::kLineBreak},
      {"NUL in address",
       With({{"address", EncodableValue(std::string("10.8.0.2\0x", 10))}}),
       Verdict::kLineBreak},
      {"carriage return in allowed IPs",
       With({{"allowedIps", EncodableValue("0.0.0.0/0\rDNS = 6.6.6.6")}}),
       Verdict::kLineBreak},
      {"line feed in the client key",
       With({{"publicKey", EncodableValue("k\ny")}}), Verdict::kLineBreak},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> log;
    TunnelParameters request;
    const std::optional<ErrorReply> error = ReadTunnelRequest(
        c.arguments ? &*c.arguments : nullptr,
        [&log](const std::string& line) { log.push_back(line); }, request);
    EXPECT_EQ(log, c.log);
    if (c.verdict != Verdict::kAccepted) {
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(std::make_pair(std::string(error->code), error->message),
                Reply(c.verdict));
      continue;
    }
    ASSERT_FALSE(error.has_value()) << error->code;
    EXPECT_EQ(request.server_public_key, c.server_key);
    EXPECT_EQ(request.dns, c.dns);
    EXPECT_EQ(request.endpoint, kTestEndpoint);
  }
}

TEST(TrimWhitespaceTest, DropsOnlyTheFourBlankBytesAtBothEnds) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {" \t\r\n", ""},
      {"abc", "abc"},
      {"  a b  ", "a b"},
      {"\r\nkey=\t", "key="},
      {"\va\f", "\va\f"},  // vertical tab and form feed stay
      {std::string("\0a\0", 3), std::string("\0a\0", 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(TrimWhitespace(c.in), c.out);
  }
}

}  // namespace
