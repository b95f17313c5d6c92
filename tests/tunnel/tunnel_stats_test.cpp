#include "tunnel/tunnel_stats.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

constexpr char kInterface[] =
    "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=\t"
    "xTIBA5rboUvnH4htodjb6e697QjLERt1NAB4mZqp8Dg=\t51820\toff\n";

std::string Peer(const std::string& rx, const std::string& tx) {
  return "HIgo9xNzJMWLKASShiTqIybxZ0U3wGLiUeJ1PKf8ykw=\t(none)\t"
         "203.0.113.7:51820\t0.0.0.0/0,::/0\t1733540000\t" +
         rx + "\t" + tx + "\t25";
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TunnelStats stats;
    ParseTunnelDump(c.dump, stats);
    EXPECT_EQ(stats.bytes_down, c.down);
    EXPECT_EQ(stats.bytes_up, c.up);
  }
}

TEST(HideDumpPrivateKeyTest, HidesOnlyTheFirstField) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"priv\tpub\t51820\toff\r\npeer\t(none)\n",
       "(hidden)\tpub\t51820\toff\r\npeer\t(none)\n"},
      {"priv", "(hidden)"},
      {"priv\r\n", "(hidden)\r\n"},
      {"\tpub\n", "\tpub\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(HideDumpPrivateKey(c.in), c.out);
  }
}

}  // namespace
