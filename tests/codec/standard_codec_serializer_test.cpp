#include "codec/standard_codec_serializer.h"

#include <gtest/gtest.h>

#include <any>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "codec/byte_streams.h"
#include "tests/codec/codec_test_util.h"

namespace flutter {
namespace {

constexpr char kUnknownType[] =
    "Unknown type in StandardCodecSerializer::ReadValueOfType: ";
constexpr char kNestingTooDeep[] =
    "Nesting too deep in StandardCodecSerializer::ReadValueOfType\n";

struct Golden {
  const char* name;
  EncodableValue value;
  const char* hex;
};

// Each value written at the start of an empty buffer.
const Golden kGoldens[] = {
    {"null", EncodableValue(), "00"},
    {"true", EncodableValue(true), "01"},
    {"false", EncodableValue(false), "02"},
    {"int32 1", EncodableValue(int32_t{1}), "03 01000000"},
    {"int32 -1", EncodableValue(int32_t{-1}), "03 ffffffff"},
    {"int32 max", EncodableValue(std::numeric_limits<int32_t>::max()),
     "03 ffffff7f"},
    {"int64 1", EncodableValue(int64_t{1}), "04 0100000000000000"},
    {"int64 holding 5 keeps 8 bytes", EncodableValue(int64_t{5}),
     "04 0500000000000000"},
    {"int64 min", EncodableValue(std::numeric_limits<int64_t>::min()),
     "04 0000000000000080"},
    {"double 1.0", EncodableValue(1.0), "06 00000000000000 000000000000f03f"},
    {"double -0.0", EncodableValue(-0.0), "06 00000000000000 0000000000000080"},
    {"string abc", EncodableValue("abc"), "07 03 616263"},
    {"empty string", EncodableValue(""), "07 00"},
    {"string with NUL and UTF-8", EncodableValue(std::string("\0\xc3\xa9", 3)),
     "07 03 00c3a9"},
    {"byte list", EncodableValue(std::vector<uint8_t>{1, 2, 0xff}),
     "08 03 0102ff"},
    {"empty byte list", EncodableValue(std::vector<uint8_t>{}), "08 00"},
    {"int32 list", EncodableValue(std::vector<int32_t>{1, -1}),
     "09 02 0000 01000000 ffffffff"},
    {"empty int32 list", EncodableValue(std::vector<int32_t>{}), "09 00 0000"},
    {"int64 list", EncodableValue(std::vector<int64_t>{1}),
     "0a 01 000000000000 0100000000000000"},
    {"empty int64 list", EncodableValue(std::vector<int64_t>{}),
     "0a 00 000000000000"},
    {"double list", EncodableValue(std::vector<double>{1.0, -2.0}),
     "0b 02 000000000000 000000000000f03f 00000000000000c0"},
    {"empty double list", EncodableValue(std::vector<double>{}),
     "0b 00 000000000000"},
    {"float list", EncodableValue(std::vector<float>{1.0f, -0.5f}),
     "0e 02 0000 0000803f 000000bf"},
    {"empty float list", EncodableValue(std::vector<float>{}), "0e 00 0000"},
    {"list",
     EncodableValue(EncodableList{EncodableValue(1), EncodableValue("a"),
                                  EncodableValue()}),
     "0c 03 03 01000000 07 01 61 00"},
    {"empty list", EncodableValue(EncodableList{}), "0c 00"},
    {"list in list",
     EncodableValue(EncodableList{EncodableValue(EncodableList{})}),
     "0c 01 0c 00"},
    {"double inside a list aligns from the message start",
     EncodableValue(EncodableList{EncodableValue("a"), EncodableValue(1.0)}),
     "0c 02 07 01 61 06 0000 000000000000f03f"},
    {"map a -> 1",
     EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(1)}}),
     "0d 01 07 01 61 03 01000000"},
    {"empty map", EncodableValue(EncodableMap{}), "0d 00"},
    {"map keys in alternative order",
     EncodableValue(
         EncodableMap{{EncodableValue("1"), EncodableValue()},
                      {EncodableValue(int64_t{1}), EncodableValue()},
                      {EncodableValue(int32_t{1}), EncodableValue()}}),
     "0d 03 03 01000000 00 04 0100000000000000 00 07 01 31 00"},
    {"statistics reply",
     EncodableValue(EncodableMap{
         {EncodableValue("bytesUp"), EncodableValue(int64_t{2})},
         {EncodableValue("bytesDown"), EncodableValue(int64_t{1})}}),
     "0d 02 07 09 6279746573446f776e 04 0100000000000000"
     "      07 07 62797465735570   04 0200000000000000"},
};

TEST(StandardCodecSerializerTest, WritesGoldenBytes) {
  for (const Golden& golden : kGoldens) {
    SCOPED_TRACE(golden.name);
    EXPECT_EQ(Hex(Encode(golden.value)), Hex(Bytes(golden.hex)));
  }
}

TEST(StandardCodecSerializerTest, ReadsGoldenBytesBack) {
  for (const Golden& golden : kGoldens) {
    SCOPED_TRACE(golden.name);
    Decoded decoded = Decode(Bytes(golden.hex));
    EXPECT_EQ(decoded.errors, "");
    EXPECT_EQ(decoded.value.index(), golden.value.index());
    EXPECT_EQ(decoded.value, golden.value);
    EXPECT_EQ(Hex(Encode(decoded.value)), Hex(Bytes(golden.hex)));
  }
}

TEST(StandardCodecSerializerTest, ExtremeValuesRoundTrip) {
  const double kInf = std::numeric_limits<double>::infinity();
  const EncodableValue values[] = {
      EncodableValue(std::numeric_limits<int32_t>::min()),
      EncodableValue(std::numeric_limits<int64_t>::max()),
      EncodableValue(kInf),
      EncodableValue(std::numeric_limits<double>::denorm_min()),
      EncodableValue(std::numeric_limits<double>::quiet_NaN()),
      EncodableValue(std::vector<float>{-std::numeric_limits<float>::infinity(),
                                        1e-45f, 3.4e38f}),
      EncodableValue(std::vector<uint8_t>(70000, 0x5a)),
      EncodableValue(std::vector<int64_t>(300, -7)),
      EncodableValue(EncodableList(254, EncodableValue(true))),
  };
  for (const EncodableValue& value : values) {
    SCOPED_TRACE(testing::PrintToString(value).substr(0, 80));
    std::vector<uint8_t> bytes = Encode(value);
    Decoded decoded = Decode(bytes);
    EXPECT_EQ(decoded.errors, "");
    EXPECT_EQ(decoded.value.index(), value.index());
    EXPECT_EQ(Encode(decoded.value), bytes);
  }
}

// Each size on its own, and (up to 64 KiB) as the size of a string.
TEST(StandardCodecSerializerTest, SizeEncodingBoundaries) {
  struct Case {
    size_t size;
    const char* hex;
  };
  const Case cases[] = {{0, "00"},
                        {253, "fd"},
                        {254, "fe fe00"},
                        {300, "fe 2c01"},
                        {65535, "fe ffff"},
                        {65536, "ff 00000100"},
                        {0xffffffff, "ff ffffffff"}};
  const StandardCodecSerializer& serializer =
      StandardCodecSerializer::GetInstance();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    std::vector<uint8_t> bytes;
    ByteBufferStreamWriter writer(&bytes);
    serializer.WriteSize(c.size, &writer);
    EXPECT_EQ(Hex(bytes), Hex(Bytes(c.hex)));
    ByteBufferStreamReader reader(bytes.data(), bytes.size());
    EXPECT_EQ(serializer.ReadSize(&reader), c.size);
    if (c.size > 65536) continue;
    const EncodableValue text(std::string(c.size, 'k'));
    const std::vector<uint8_t> encoded = Encode(text);
    ASSERT_EQ(encoded.size(), 1 + bytes.size() + c.size);
    EXPECT_EQ(Hex({encoded.begin(), encoded.begin() + 1 + bytes.size()}),
              "07 " + Hex(bytes));
    Decoded decoded = Decode(encoded);
    EXPECT_EQ(decoded.errors, "");
    EXPECT_EQ(decoded.value, text);
  }
}

TEST(StandardCodecSerializerTest, AlignmentDependsOnThePositionOfTheTag) {
  const StandardCodecSerializer& serializer =
      StandardCodecSerializer::GetInstance();
  struct Case {
    EncodableValue value;
    size_t header;  // Tag, and size for lists: the bytes before the padding.
    size_t width;
    size_t payload;
  };
  const Case cases[] = {
      {EncodableValue(1.0), 1, 8, 8},
      {EncodableValue(std::vector<int32_t>{7}), 2, 4, 4},
      {EncodableValue(std::vector<float>{}), 2, 4, 0},
      {EncodableValue(std::vector<int64_t>{-1}), 2, 8, 8},
  };
  for (const Case& c : cases) {
    for (size_t position = 0; position <= 9; ++position) {
      SCOPED_TRACE(testing::Message()
                   << Hex(Encode(c.value)) << " at " << position);
      std::vector<uint8_t> bytes(position, 0xaa);
      ByteBufferStreamWriter writer(&bytes);
      serializer.WriteValue(c.value, &writer);
      size_t padding_start = position + c.header;
      size_t payload_start = (padding_start + c.width - 1) / c.width * c.width;
      ASSERT_EQ(bytes.size(), payload_start + c.payload);
      for (size_t i = padding_start; i < payload_start; ++i) {
        EXPECT_EQ(bytes[i], 0) << i;
      }

      ByteBufferStreamReader reader(bytes.data(), bytes.size());
      std::vector<uint8_t> prefix(position);
      reader.ReadBytes(prefix.data(), prefix.size());
      testing::internal::CaptureStderr();
      EncodableValue read = serializer.ReadValue(&reader);
      EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
      EXPECT_EQ(read, c.value);
      EXPECT_EQ(reader.RemainingBytes(), 0u);
    }
  }
}

TEST(StandardCodecSerializerTest, TypedListFollowedByMoreValues) {
  const EncodableValue values[] = {
      EncodableValue(std::vector<int32_t>{7}),
      EncodableValue("x"),
      EncodableValue(std::vector<float>{}),
      EncodableValue(2.5),
      EncodableValue(std::vector<int64_t>{}),
      EncodableValue(std::vector<uint8_t>{1}),
      EncodableValue(std::vector<double>{0.5}),
      EncodableValue(int32_t{5}),
  };
  const StandardCodecSerializer& serializer =
      StandardCodecSerializer::GetInstance();
  std::vector<uint8_t> bytes;
  ByteBufferStreamWriter writer(&bytes);
  for (const EncodableValue& value : values) {
    serializer.WriteValue(value, &writer);
  }
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  testing::internal::CaptureStderr();
  for (const EncodableValue& value : values) {
    EncodableValue read = serializer.ReadValue(&reader);
    EXPECT_EQ(read.index(), value.index());
    EXPECT_EQ(read, value);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(reader.RemainingBytes(), 0u);
}

// Every odd, short or oversized input decodes to a value and says what was
// wrong on standard error (a ten-byte message once made the reader reserve
// or zero-fill up to 4 GiB: a size the input cannot back allocates nothing).
TEST(StandardCodecSerializerTest, DecodesOddShortAndOversizedInputs) {
  struct Case {
    const char* name;
    const char* hex;
    EncodableValue expected;
    std::string errors;
  };
  const std::string unknown = kUnknownType, bad = kInvalidRead;
  const Case cases[] = {
      {"tag 5 reads as a string", "05 03 616263", EncodableValue("abc"), ""},
      {"duplicate key keeps the first entry",
       "0d 02 07 01 61 03 01000000 07 01 61 03 02000000",
       EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(1)}}),
       ""},
      {"padding content is skipped", "06 ffffffffffffff 000000000000f03f",
       EncodableValue(1.0), ""},
      {"tag 15", "0f", EncodableValue(), unknown + "15\n"},
      {"tag 128", "80", EncodableValue(), unknown + "128\n"},
      {"tag 255", "ff", EncodableValue(), unknown + "255\n"},
      {"bytes after an unknown tag read as what they are",
       "0c 02 0f 03 01000000",
       EncodableValue(EncodableList{EncodableValue(), EncodableValue(1)}),
       unknown + "15\n"},
      // Short input: nulls and zeros.
      {"empty input", "", EncodableValue(), bad},
      {"truncated int32", "03 01 00", EncodableValue(int32_t{0}), bad},
      {"truncated int64", "04 01", EncodableValue(int64_t{0}), bad},
      {"double without payload", "06", EncodableValue(0.0), bad},
      {"string without size", "07", EncodableValue(""), bad},
      {"cut-off 16-bit size", "07 fe 01", EncodableValue(""), bad},
      {"cut-off 32-bit size", "08 ff 0000",
       EncodableValue(std::vector<uint8_t>{}), bad},
      {"list missing an element", "0c 02 03 01000000",
       EncodableValue(EncodableList{EncodableValue(1), EncodableValue()}), bad},
      {"map missing a value", "0d 01 07 01 61",
       EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue()}}),
       bad},
      {"empty int64 list without its padding", "0a 00",
       EncodableValue(std::vector<int64_t>{}), bad},
      {"empty float list without its padding", "0e 00",
       EncodableValue(std::vector<float>{}), bad},
      // Sizes beyond the input: empty values.
      {"string", "07 ff ffffffff 61626364", EncodableValue(""), bad},
      {"tag 5", "05 ff ffffffff 61626364", EncodableValue(""), bad},
      {"byte list", "08 ff ffffffff 01020304",
       EncodableValue(std::vector<uint8_t>{}), bad},
      {"int32 list", "09 ff ffffffff 01020304",
       EncodableValue(std::vector<int32_t>{}), bad},
      {"int64 list", "0a ff ffffffff 01020304",
       EncodableValue(std::vector<int64_t>{}), bad},
      {"double list", "0b ff ffffffff 01020304",
       EncodableValue(std::vector<double>{}), bad},
      {"float list", "0e ff ffffffff 01020304",
       EncodableValue(std::vector<float>{}), bad},
      {"list", "0c ff ffffffff 00000000", EncodableValue(EncodableList{}), bad},
      {"map", "0d ff ffffffff 00000000", EncodableValue(EncodableMap{}), bad},
      {"string one byte short", "07 04 616263", EncodableValue(""), bad},
      {"int32 list one element short", "09 03 0000 01000000 02000000",
       EncodableValue(std::vector<int32_t>{}), bad},
      {"list longer than the bytes left", "0c 03 00 00",
       EncodableValue(EncodableList{}), bad},
      {"map longer than the bytes left", "0d 03 00 00",
       EncodableValue(EncodableMap{}), bad},
      {"decoding goes on after the short value",
       "0c 02 07 ff ffffffff 03 01000000",
       EncodableValue(EncodableList{EncodableValue(""), EncodableValue(1)}),
       bad},
      // Sizes that exactly fit.
      {"list of one-byte elements", "0c 02 00 00",
       EncodableValue(EncodableList{EncodableValue(), EncodableValue()}), ""},
      {"map of one-byte entries", "0d 01 00 00",
       EncodableValue(EncodableMap{{EncodableValue(), EncodableValue()}}), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded decoded = Decode(Bytes(c.hex));
    EXPECT_EQ(decoded.errors, c.errors);
    EXPECT_EQ(decoded.value.index(), c.expected.index());
    EXPECT_EQ(Encode(decoded.value), Encode(c.expected));
  }
}

TEST(StandardCodecSerializerTest, CustomValueIsWrittenAsNullWithALine) {
  EncodableValue value(
      EncodableList{EncodableValue(CustomValueHolder(42)), EncodableValue(1)});
  testing::internal::CaptureStderr();
  std::vector<uint8_t> bytes = Encode(value);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Unhandled custom type in StandardCodecSerializer::WriteValue. "
            "Custom types require codec extensions.\n");
  EXPECT_EQ(Hex(bytes), Hex(Bytes("0c 02 00 03 01000000")));
}

// A cut anywhere in a valid message never crashes and always reports.
TEST(StandardCodecSerializerTest, EveryTruncationReportsAnInvalidRead) {
  EncodableValue message(EncodableMap{
      {EncodableValue("address"), EncodableValue("10.8.0.2/32")},
      {EncodableValue("n"), EncodableValue(int32_t{-3})},
      {EncodableValue("big"), EncodableValue(int64_t{1} << 40)},
      {EncodableValue("ratio"), EncodableValue(0.5)},
      {EncodableValue("bytes"), EncodableValue(std::vector<uint8_t>{1, 2, 3})},
      {EncodableValue("ints"), EncodableValue(std::vector<int32_t>{-1, 1})},
      {EncodableValue("longs"), EncodableValue(std::vector<int64_t>{9})},
      {EncodableValue("doubles"), EncodableValue(std::vector<double>{0.25})},
      {EncodableValue("floats"), EncodableValue(std::vector<float>{2.0f})},
      {EncodableValue("list"),
       EncodableValue(EncodableList{EncodableValue(true), EncodableValue(false),
                                    EncodableValue(),
                                    EncodableValue(std::string(300, 'x')),
                                    EncodableValue(EncodableList{})})},
      {EncodableValue(int32_t{1}),
       EncodableValue(
           EncodableMap{{EncodableValue(2.0), EncodableValue("two")}})},
  });
  const std::vector<uint8_t> bytes = Encode(message);
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    SCOPED_TRACE(cut);
    Decoded decoded =
        Decode(std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
    // Bytes after a cut-off size are read as tags, so unknown types may
    // follow; every line is one of the reader's own.
    EXPECT_NE(decoded.errors.find(kInvalidRead), std::string::npos);
    std::istringstream lines(decoded.errors);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_TRUE(line + "\n" == kInvalidRead ||
                  line.rfind(kUnknownType, 0) == 0)
          << line;
    }
  }
  Decoded whole = Decode(bytes);
  EXPECT_EQ(whole.errors, "");
  EXPECT_EQ(whole.value, message);
}

// Deeply nested lists and maps once overflowed the stack.
TEST(StandardCodecSerializerTest, NestingIsBoundedAt256Levels) {
  struct Case {
    const char* name;
    std::string hex;
    std::string errors;
    std::string reencoded;
  };
  const std::string list = "0c 01 ", map = "0d 01 00 ";
  const Case cases[] = {
      {"256 lists", Repeat(list, 255) + "0c 00", "",
       Repeat(list, 255) + "0c 00"},
      {"257 lists", Repeat(list, 256) + "0c 00", kNestingTooDeep,
       Repeat(list, 256) + "00"},
      {"256 maps", Repeat(map, 255) + "0d 00", "", Repeat(map, 255) + "0d 00"},
      {"257 maps", Repeat(map, 256) + "0d 00", kNestingTooDeep,
       Repeat(map, 256) + "00"},
      {"257 mixed", Repeat(list + map, 128) + "0c 00", kNestingTooDeep,
       Repeat(list + map, 128) + "00"},
      // The depth is counted down again: a sibling after a refused branch
      // is read at its own depth. The refused list's size byte is read as
      // the null in between.
      {"sibling after a refused branch",
       "0c 03 " + Repeat(list, 255) + "0c 00  0c 01 0c 00", kNestingTooDeep,
       "0c 03 " + Repeat(list, 255) + "00 00  0c 01 0c 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded decoded = Decode(Bytes(c.hex));
    EXPECT_EQ(decoded.errors, c.errors);
    EXPECT_EQ(Hex(Encode(decoded.value)), Hex(Bytes(c.reencoded)));
  }
}

// Handles one more type; nested values must reach it at every depth.
struct Point {
  int32_t x;
  int32_t y;
};

class PointSerializer : public StandardCodecSerializer {
 public:
  static constexpr uint8_t kPointTag = 128;

  void WriteValue(const EncodableValue& value,
                  ByteStreamWriter* stream) const override {
    const auto* custom = std::get_if<CustomValueHolder>(&value);
    const Point* point =
        custom ? std::any_cast<Point>(&custom->value()) : nullptr;
    if (point == nullptr) {
      StandardCodecSerializer::WriteValue(value, stream);
      return;
    }
    stream->WriteByte(kPointTag);
    stream->WriteBytes(reinterpret_cast<const uint8_t*>(point), sizeof(Point));
  }

  EncodableValue ReadValueOfType(uint8_t type,
                                 ByteStreamReader* stream) const override {
    if (type != kPointTag) {
      return StandardCodecSerializer::ReadValueOfType(type, stream);
    }
    Point point{};
    stream->ReadBytes(reinterpret_cast<uint8_t*>(&point), sizeof(Point));
    return EncodableValue(CustomValueHolder(point));
  }
};

TEST(StandardCodecSerializerTest, DerivedSerializerAppliesAtEveryDepth) {
  PointSerializer serializer;
  EncodableValue value(EncodableMap{
      {EncodableValue("p"),
       EncodableValue(EncodableList{EncodableValue(EncodableMap{
           {EncodableValue(1),
            EncodableValue(CustomValueHolder(Point{3, -4}))}})})}});
  const char* hex =
      "0d 01 07 01 70 0c 01 0d 01 03 01000000 80 03000000 fcffffff";
  testing::internal::CaptureStderr();
  std::vector<uint8_t> bytes = Encode(value, serializer);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(Hex(bytes), Hex(Bytes(hex)));
  Decoded decoded = Decode(bytes, serializer);
  EXPECT_EQ(decoded.errors, "");

  const auto& inner = std::get<EncodableMap>(std::get<EncodableList>(
      std::get<EncodableMap>(decoded.value).at(EncodableValue("p")))[0]);
  const Point* point = std::any_cast<Point>(
      &std::get<CustomValueHolder>(inner.at(EncodableValue(1))).value());
  ASSERT_NE(point, nullptr);
  EXPECT_EQ(point->x, 3);
  EXPECT_EQ(point->y, -4);
}

// A buffer stream that hands out no memory must see every call, at every
// depth.
TEST(StandardCodecSerializerTest, DerivedBufferStreamsSeeEveryByte) {
  // [{"a": 1}, null]: eight tags and sizes, the rest through ReadBytes.
  const std::vector<uint8_t> bytes =
      Bytes("0c 02 0d 01 07 01 61 03 01000000 00");
  CountingReader reader(bytes.data(), bytes.size());
  EncodableValue value =
      StandardCodecSerializer::GetInstance().ReadValue(&reader);
  EXPECT_EQ(reader.calls, 8);

  std::vector<uint8_t> written;
  CountingWriter writer(&written);
  StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  EXPECT_EQ(writer.calls, 8);
  EXPECT_EQ(Hex(written), Hex(bytes));
}

}  // namespace
}  // namespace flutter
