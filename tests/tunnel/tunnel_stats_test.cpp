#include "tunnel/tunnel_stats.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/test_keys.h"

namespace {

const std::string kInterface =
    kTestPrivateKey + "\t" + kTestClientKey + "\t51820\toff\n";
const std::string kShownInterface =
    "(hidden)\t" + kTestClientKey + "\t51820\toff\n";
// What wg.exe may write to standard error before the dump.
constexpr char kWarning[] = "Warning: AllowedIPs overlap: 10.8.0.0/24\n";

std::string Peer(const std::string& rx, const std::string& tx,
                 const std::string& preshared_key = "(none)") {
  return kTestServerKey + "\t" + preshared_key +
         "\t203.0.113.7:51820\t0.0.0.0/0,::/0\t1733540000\t" + rx + "\t" + tx +
         "\t25";
}

TEST(ParseTunnelDumpTest, ReadsRxAndTxOfTheLastPeerLine) {
  struct Case {
    const char* name;
    std::string dump;
    int64_t down, up;
  };
  const Case cases[] = {
      {"empty output", "", 0, 0},
      {"interface line only", kInterface, 0, 0},
      {"interface line without line feed", "key\tpub\t51820\toff", 0, 0},
      {"one peer", kInterface + Peer("812", "377") + "\n", 812, 377},
      {"last line without line feed", kInterface + Peer("812", "377"), 812,
       377},
      {"CR LF line ends", kInterface + Peer("812", "377") + "\r\n", 812, 377},
      {"letters in rx", kInterface + Peer("lots", "377") + "\n", 0, 377},
      {"number then words", kInterface + Peer("812 rest", "377 more") + "\n",
       812, 377},
      {"leading blanks and sign", kInterface + Peer("  +812", " -3"), 812, -3},
      {"second peer wins",
       kInterface + Peer("1", "2") + "\n" + Peer("30", "40") + "\n", 30, 40},
      {"unconvertible second peer keeps the first",
       kInterface + Peer("1", "2") + "\n" + Peer("x", "") + "\n", 1, 2},
      {"blank line between peers",
       kInterface + Peer("1", "2") + "\n\n" + Peer("5", "6") + "\n", 5, 6},
      {"short line gives only its columns",
       kInterface + Peer("1", "2") + "\na\tb\tc\td\te\t99\n", 99, 2},
      {"largest value", kInterface + Peer("9223372036854775807", "0"),
       INT64_MAX, 0},
      {"smallest value", kInterface + Peer("-9223372036854775808", "0"),
       INT64_MIN, 0},
      {"out of range keeps the old value",
       kInterface + Peer("7", "8") + "\n" +
           Peer("9223372036854775808", "-9223372036854775809"),
       7, 8},
      {"first line is skipped even when it looks like a peer",
       Peer("100", "200") + "\n", 0, 0},
      {"standard error first, preshared key",
       kWarning + kInterface + Peer("812", "377", kTestPresharedKey) + "\n",
       812, 377},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TunnelStats stats;
    ParseTunnelDump(c.dump, stats);
    EXPECT_EQ(stats.bytes_down, c.down);
    EXPECT_EQ(stats.bytes_up, c.up);
  }
}

TEST(HideDumpSecretsTest, HidesThePrivateAndPresharedKeys) {
  const std::string psk = kTestPresharedKey;
  const struct {
    const char* name;
    std::string in, out;
  } cases[] = {
      {"empty", "", ""},
      {"interface and peer without preshared key",
       kInterface + Peer("1", "2") + "\r\n",
       kShownInterface + Peer("1", "2") + "\r\n"},
      {"standard error first, peer with preshared key",
       kWarning + kInterface + Peer("1", "2", psk) + "\n",
       kWarning + kShownInterface + Peer("1", "2", "(hidden)") + "\n"},
      {"several peers",
       kInterface + Peer("1", "2", psk) + "\n" + Peer("3", "4") + "\n" +
           Peer("5", "6", kTestOtherPrivateKey),
       kShownInterface + Peer("1", "2", "(hidden)") + "\n" + Peer("3", "4") +
           "\n" + Peer("5", "6", "(hidden)")},
      {"standard error without line break before the interface",
       "wg: slow" + kInterface, kShownInterface},
      {"line cut off inside the private key", kTestPrivateKey.substr(0, 20),
       "(hidden)"},
      {"peer line cut off after the preshared key",
       kTestServerKey + "\t" + psk + "\t203.0.113.7:5\r\n",
       "(hidden)\t(hidden)\t203.0.113.7:5\r\n"},
      {"empty fields and lines stay", "\t\t\t\n\n\t(none)\r\n",
       "\t\t\t\n\n\t(none)\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HideDumpSecrets(c.in), c.out);
  }
}

// Any output of the tools: every token shaped like a key goes, wherever it
// stands; what only resembles one stays.
TEST(HideKeysTest, HidesEveryKeyShapedToken) {
  const std::string key = kTestPrivateKey;
  const std::string body = key.substr(0, 43);  // without the "="
  const struct {
    const char* name;
    std::string in, out;
  } cases[] = {
      {"empty", "", ""},
      {"a key alone", key, "(hidden)"},
      {"readable layout", "  private key: " + key + "\r\n",
       "  private key: (hidden)\r\n"},
      {"after a '='", "PrivateKey=" + key, "PrivateKey=(hidden)"},
      {"quoted in an error", "[Error:  Bad key '" + key + "']\r\n",
       "[Error:  Bad key '(hidden)']\r\n"},
      {"dump line", kTestServerKey + "\t" + kTestPresharedKey + "\t1\t2",
       "(hidden)\t(hidden)\t1\t2"},
      {"one character short", body.substr(1) + "=", body.substr(1) + "="},
      {"one character long", "A" + key, "A" + key},
      {"no '='", body + "x", body + "x"},
      {"'==' after", body + "==", body + "=="},
      {"base64 right after", key + "A", key + "A"},
      {"two in a row", key + " " + key, "(hidden) (hidden)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HideKeys(c.in), c.out);
  }
}

}  // namespace
