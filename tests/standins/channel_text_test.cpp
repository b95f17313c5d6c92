// Channel messages as text: what scripts/run and the end-to-end tests write
// stand-in engine's scripts and read out of its transcripts.
#include "standins/channel_tool/channel_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/text.h"

namespace {

using channel_text::Describe;
using channel_text::DescribeReply;
using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

TEST(ChannelText, EncodesCallsWithAndWithoutParameters) {
  // Name as a string value, then the arguments: null, or a map of strings
  // in key order.
  EXPECT_EQ(ToHex(channel_text::EncodeCall("getTunnelStats", {})),
            "070e67657454756e6e656c537461747300");
  EXPECT_EQ(ToHex(channel_text::EncodeCall(
                "m", {{"b", "2"}, {"a", "1"}, {"b", "3"}})),
            "07016d0d02070161070131070162070133");
}

TEST(ChannelText, ParsesKeyValueAtTheFirstEquals) {
  struct Case {
    const char* text;
    bool ok;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"dns=1.1.1.1", true, "dns", "1.1.1.1"},
      {"privateKey=abc==", true, "privateKey", "abc=="},
      {"address=", true, "address", ""},
      {"=value", false, "", ""},
      {"novalue", false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    channel_text::Parameter parameter;
    ASSERT_EQ(channel_text::ParseParameter(c.text, &parameter), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(parameter.first, c.key);
    EXPECT_EQ(parameter.second, c.value);
  }
}

TEST(ChannelText, HexRoundTripsAndRefusesWhatIsNotHex) {
  EXPECT_EQ(ToHex(Bytes("00ff7Fa0")), "00ff7fa0");
  std::vector<uint8_t> untouched = {1};
  for (const char* bad : {"0", "0g", "zz", "00 1"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseHex(bad, &untouched));
    EXPECT_EQ(untouched, std::vector<uint8_t>{1});
  }
}

TEST(ChannelText, DescribesValuesOnOneLine) {
  EncodableMap map;
  map[EncodableValue("bytesUp")] = EncodableValue(int64_t{1024});
  map[EncodableValue("bytesDown")] = EncodableValue(int64_t{4096});
  map[EncodableValue(7)] = EncodableValue(true);
  EXPECT_EQ(Describe(EncodableValue(map)),
            "{7: true, bytesDown: 4096, bytesUp: 1024}");
  EXPECT_EQ(
      Describe(EncodableValue(EncodableList{
          EncodableValue(), EncodableValue("a \"b\""),
          EncodableValue(std::vector<uint8_t>{0, 255}), EncodableValue(-2.5)})),
      "[null, \"a \\\"b\\\"\", [0, 255], -2.5]");
}

TEST(ChannelText, DescribesEveryKindOfReply) {
  struct Case {
    const char* hex;
    const char* text;
  };
  const Case cases[] = {
      {"0000", "success null"},
      {"", "not implemented"},
      {"000d020709"
       "6279746573446f776e040010000000000000"
       "070762797465735570040004000000000000",
       "success {bytesDown: 4096, bytesUp: 1024}"},
      {"01070443414b45070568656c6c6f00", "error CAKE \"hello\""},
      {"01070443414b4500070568656c6c6f", "error CAKE \"\" \"hello\""},
      {"02", "undecodable 02"},
      // A code that is not a string.
      {"0103010000000000", "undecodable 0103010000000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex);
    EXPECT_EQ(DescribeReply(Bytes(c.hex)), c.text);
  }
}

}  // namespace
