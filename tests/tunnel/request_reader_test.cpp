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

const std::string kArgs = "establishTunnel requires a map of config params";
const std::string kRequired =
    "privateKey, serverPublicKey, and endpoint are required";
const std::string kLineBreaks =
    "Config values must not contain line breaks or NUL characters";
const std::string kFallback =
    "serverPublicKey not provided, falling back to publicKey";
const std::string kDnsDefault = "DNS empty, defaulting to: 1.1.1.1, 1.0.0.1";

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

// Full() with `key` set to `value`, or removed when `value` is null.
EncodableValue With(const char* key, const EncodableValue& value) {
  EncodableMap map = Full();
  if (value.IsNull()) {
    map.erase(EncodableValue(key));
  } else {
    map[EncodableValue(key)] = value;
  }
  return EncodableValue(map);
}

std::string KeysLine(const std::string& client, const std::string& server) {
  return "Keys: clientPubKey=" + client + ", serverPubKey=" + server;
}

TEST(ReadTunnelRequestTest, RefusesFallsBackAndDefaultsAsLogged) {
  EncodableMap no_server_keys = Full();
  no_server_keys.erase(EncodableValue("serverPublicKey"));
  no_server_keys.erase(EncodableValue("publicKey"));
  EncodableMap blank_client_key = Full();
  blank_client_key.erase(EncodableValue("serverPublicKey"));
  blank_client_key[EncodableValue("publicKey")] = EncodableValue("  ");
  // A byte list with the key's bytes is another key.
  EncodableMap byte_list_key = Full();
  byte_list_key.erase(EncodableValue("privateKey"));
  byte_list_key[EncodableValue(
      std::vector<uint8_t>{'p', 'r', 'i', 'v', 'a', 't', 'e', 'K', 'e', 'y'})] =
      EncodableValue(kTestPrivateKey);
  const EncodableValue none;
  const std::string keys = KeysLine(kTestClientKey, kTestServerKey);

  const struct {
    const char* name;
    std::optional<EncodableValue> arguments;  // nullopt: no arguments
    const char* code;                         // nullptr: accepted
    std::string message;
    std::vector<std::string> log;
    std::string server_key = kTestServerKey;  // what an accepted request holds
    std::string dns = "9.9.9.9";
  } cases[] = {
      {"no arguments", std::nullopt, "INVALID_ARGUMENTS", kArgs, {}},
      {"null", none, "INVALID_ARGUMENTS", kArgs, {}},
      {"list",
       EncodableValue(flutter::EncodableList{EncodableValue("privateKey")}),
       "INVALID_ARGUMENTS",
       kArgs,
       {}},
      {"string",
       EncodableValue("privateKey=abc"),
       "INVALID_ARGUMENTS",
       kArgs,
       {}},
      {"all given", EncodableValue(Full()), nullptr, "", {keys}},
      {"numeric private key",
       With("privateKey", EncodableValue(int32_t{42})),
       "INVALID_CONFIG",
       kRequired,
       {}},
      {"byte list key",
       EncodableValue(byte_list_key),
       "INVALID_CONFIG",
       kRequired,
       {}},
      {"no endpoint", With("endpoint", none), "INVALID_CONFIG", kRequired, {}},
      {"no server keys",
       EncodableValue(no_server_keys),
       "INVALID_CONFIG",
       kRequired,
       {kFallback}},
      {"server key from the client's",
       With("serverPublicKey", none),
       nullptr,
       "",
       {kFallback, KeysLine(kTestClientKey, kTestClientKey)},
       kTestClientKey},
      // Blanks only: what the file would hold is empty.
      {"blank private key",
       With("privateKey", EncodableValue("   ")),
       "INVALID_CONFIG",
       kRequired,
       {}},
      {"blank server key",
       With("serverPublicKey", EncodableValue(" \t")),
       "INVALID_CONFIG",
       kRequired,
       {}},
      {"blank client key as the server's",
       EncodableValue(blank_client_key),
       "INVALID_CONFIG",
       kRequired,
       {kFallback}},
      {"blank endpoint",
       With("endpoint", EncodableValue("\r\n")),
       "INVALID_CONFIG",
       kRequired,
       {}},
      {"empty dns",
       With("dns", EncodableValue("")),
       nullptr,
       "",
       {kDnsDefault, keys},
       kTestServerKey,
       "1.1.1.1, 1.0.0.1"},
      {"no dns",
       With("dns", none),
       nullptr,
       "",
       {kDnsDefault, keys},
       kTestServerKey,
       "1.1.1.1, 1.0.0.1"},
      // Not empty here; the file's own default takes over.
      {"blank dns",
       With("dns", EncodableValue("  ")),
       nullptr,
       "",
       {keys},
       kTestServerKey,
       "  "},
      {"padded key",
       With("privateKey", EncodableValue(" k ")),
       nullptr,
       "",
       {keys}},
      {"line break in dns",
       With("dns", EncodableValue("1.1.1.1\r\nPostUp = x")),
       "INVALID_CONFIG",
       kLineBreaks,
       {}},
      {"line feed in endpoint",
       With("endpoint", EncodableValue("e\n[Peer]")),
       "INVALID_CONFIG",
       kLineBreaks,
       {}},
      {"NUL in address",
       With("address", EncodableValue(std::string("10.8.0.2/32\0x", 13))),
       "INVALID_CONFIG",
       kLineBreaks,
       {}},
      {"carriage return in allowed IPs",
       With("allowedIps", EncodableValue("0.0.0.0/0\rDNS = 6.6.6.6")),
       "INVALID_CONFIG",
       kLineBreaks,
       {}},
      {"line feed in the client key",
       With("publicKey", EncodableValue("k\ny")),
       "INVALID_CONFIG",
       kLineBreaks,
       {}},
      {"trailing line break only",
       With("dns", EncodableValue("9.9.9.9\r\n")),
       nullptr,
       "",
       {keys},
       kTestServerKey,
       "9.9.9.9\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> log;
    TunnelParameters request;
    const std::optional<ErrorReply> error = ReadTunnelRequest(
        c.arguments ? &*c.arguments : nullptr,
        [&log](const std::string& line) { log.push_back(line); }, request);
    EXPECT_EQ(log, c.log);
    if (c.code != nullptr) {
      ASSERT_TRUE(error.has_value());
      EXPECT_STREQ(error->code, c.code);
      EXPECT_EQ(error->message, c.message);
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
