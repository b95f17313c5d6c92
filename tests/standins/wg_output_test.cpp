#include "standins/wireguard/wg_output.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TEST(FormatByteCountTest, UsesBinaryUnitsWithTwoDecimals) {
  struct Case {
    uint64_t bytes;
    const char* text;
  };
  const Case cases[] = {
      {0, "0 B"},
      {1023, "1023 B"},
      {1024, "1.00 KiB"},
      {1536, "1.50 KiB"},
      {4096, "4.00 KiB"},
      {1048575, "1024.00 KiB"},  // rounds up within the unit
      {1048576, "1.00 MiB"},
      {1073741824, "1.00 GiB"},
      {1099511627776ULL, "1.00 TiB"},
      {1125899906842624ULL, "1024.00 TiB"},  // the largest unit goes on
      {UINT64_MAX, "16777216.00 TiB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(FormatByteCount(c.bytes), c.text);
  }
}

TEST(FormatTest, AllowedIpsShowAsNoneWhenAbsentAndLoseBlanksInTheDump) {
  InterfaceView view;
  view.name = "wg0";
  view.private_key = "P";
  view.public_key = "Q";
  view.peer_public_key = "R";
  view.endpoint = "E:1";
  EXPECT_NE(FormatShow(view).find("\r\n  allowed ips: (none)\r\n"),
            std::string::npos);
  EXPECT_EQ(FormatDump(view),
            "P\tQ\t51820\toff\r\nR\t(none)\tE:1\t(none)\t0\t0\t0\t25\r\n");
  view.allowed_ips = "10.0.0.0/8 ,\t fd00::/8";
  EXPECT_NE(FormatDump(view).find("\t10.0.0.0/8,fd00::/8\t"),
            std::string::npos);
}

}  // namespace
