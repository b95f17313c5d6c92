#include "codec/byte_streams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/codec/codec_test_util.h"

namespace flutter {
namespace {

TEST(ByteBufferStreamReaderTest, ReadByteAtTheEndReportsAndGivesZero) {
  const std::vector<uint8_t> input = Bytes("2a");
  ByteBufferStreamReader reader(input.data(), input.size());
  EXPECT_EQ(reader.ReadByte(), 0x2a);
  testing::internal::CaptureStderr();
  EXPECT_EQ(reader.ReadByte(), 0);
  EXPECT_EQ(reader.ReadByte(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            std::string(kInvalidRead) + kInvalidRead);
}

TEST(ByteBufferStreamReaderTest, OverlongReadBytesCopiesNothingAndStays) {
  const std::vector<uint8_t> input = Bytes("01 02 03");
  ByteBufferStreamReader reader(input.data(), input.size());
  EXPECT_EQ(reader.ReadByte(), 1);
  uint8_t destination[3] = {9, 9, 9};
  testing::internal::CaptureStderr();
  reader.ReadBytes(destination, 3);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kInvalidRead);
  EXPECT_EQ(Hex({destination, destination + 3}), "09 09 09");
  // The location did not move: the remaining two bytes still read.
  EXPECT_EQ(reader.RemainingBytes(), 2u);
  reader.ReadBytes(destination, 2);
  EXPECT_EQ(Hex({destination, destination + 3}), "02 03 09");
  EXPECT_EQ(reader.RemainingBytes(), 0u);
}

TEST(ByteBufferStreamReaderTest, AlignmentCountsFromTheFirstByte) {
  struct Case {
    size_t consumed;
    uint8_t alignment;
    size_t remaining_after;  // Of 12 bytes.
  };
  const Case cases[] = {
      {0, 8, 12}, {1, 8, 4}, {7, 8, 4},  {8, 8, 4},  {1, 4, 8},
      {4, 4, 8},  {5, 4, 4}, {11, 8, 0}, {12, 4, 0},
  };
  const std::vector<uint8_t> input(12, 0xee);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.consumed << " aligned to " << int{c.alignment});
    ByteBufferStreamReader reader(input.data(), input.size());
    std::vector<uint8_t> skipped(c.consumed);
    reader.ReadBytes(skipped.data(), skipped.size());
    reader.ReadAlignment(c.alignment);
    EXPECT_EQ(reader.RemainingBytes(), c.remaining_after);
  }
}

// Aligning past the end says nothing; the next read, even an empty one,
// reports.
TEST(ByteBufferStreamReaderTest, EmptyReadPastTheEndIsReported) {
  struct Case {
    const char* name;
    size_t consumed;
    uint8_t alignment;
    int invalid_reads;
  };
  const Case cases[] = {
      {"at the end", 4, 1, 0},
      {"aligned exactly to the end", 2, 4, 0},
      {"aligned past the end", 1, 8, 1},
  };
  const std::vector<uint8_t> input = Bytes("01 02 03 04");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ByteBufferStreamReader reader(input.data(), input.size());
    std::vector<uint8_t> skipped(c.consumed);
    reader.ReadBytes(skipped.data(), skipped.size());
    testing::internal::CaptureStderr();
    reader.ReadAlignment(c.alignment);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(reader.RemainingBytes(), 0u);
    testing::internal::CaptureStderr();
    reader.ReadBytes(nullptr, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              Repeat(kInvalidRead, c.invalid_reads));
  }
}

TEST(ByteBufferStreamWriterTest, AppendsToTheCallersArray) {
  std::vector<uint8_t> buffer = Bytes("aa");
  ByteBufferStreamWriter writer(&buffer);
  writer.WriteByte(0x01);
  const uint8_t bytes[] = {2, 3};
  writer.WriteBytes(bytes, 2);
  writer.WriteBytes(nullptr, 0);
  EXPECT_EQ(Hex(buffer), "aa 01 02 03");
}

// Padding goes through WriteByte, so a derived writer sees every byte.
TEST(ByteBufferStreamWriterTest, AlignmentPadsWithZerosFromTheArrayStart) {
  struct Case {
    size_t length_before;
    uint8_t alignment;
    size_t length_after;
  };
  const Case cases[] = {{0, 8, 0},  {1, 8, 8}, {7, 8, 8}, {8, 8, 8},
                        {9, 4, 12}, {3, 4, 4}, {4, 4, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.length_before << " aligned to " << int{c.alignment});
    std::vector<uint8_t> buffer(c.length_before, 0xff);
    CountingWriter writer(&buffer);
    writer.WriteAlignment(c.alignment);
    ASSERT_EQ(buffer.size(), c.length_after);
    EXPECT_EQ(writer.calls, static_cast<int>(c.length_after - c.length_before));
    for (size_t i = c.length_before; i < buffer.size(); ++i) {
      EXPECT_EQ(buffer[i], 0);
    }
  }
}

}  // namespace
}  // namespace flutter
