#include "codec/standard_method_codec.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "codec/method_call.h"
#include "codec/method_result.h"
#include "tests/codec/codec_test_util.h"
#include "tests/codec/sample_messages.h"

namespace flutter {
namespace {

using keelhaven_test::EstablishTunnelArguments;

constexpr char kNotAString[] =
    "Invalid method call; method name is not a string.\n";

const StandardMethodCodec& Codec() {
  return StandardMethodCodec::GetInstance();
}

// Records each answer as one line of text.
class RecordingResult : public MethodResult<EncodableValue> {
 public:
  std::vector<std::string> answers;

 protected:
  void HandleSuccess(const EncodableValue* result) override {
    answers.push_back("success " + Describe(result));
  }
  void HandleError(const std::string& code, const std::string& message,
                   const EncodableValue* details) override {
    answers.push_back("error " + code + "|" + message + "|" +
                      Describe(details));
  }
  void HandleNotImplemented() override { answers.push_back("not implemented"); }

 private:
  static std::string Describe(const EncodableValue* value) {
    return value ? Hex(Encode(*value)) : "none";
  }
};

TEST(StandardMethodCodecTest, DecodesMethodCalls) {
  struct Case {
    const char* name;
    const char* hex;
    const char* method;     // Null: no call.
    const char* arguments;  // Encoded arguments.
    std::string errors;
  };
  const Case cases[] = {
      {"name without arguments", "07 03 616263", "abc", "00", kInvalidRead},
      {"null arguments", "07 03 616263 00", "abc", "00", ""},
      {"map arguments", "07 01 61 0d 01 07 01 61 03 01000000", "a",
       "0d 01 07 01 61 03 01000000", ""},
      {"name read from tag 5", "05 01 61 03 02000000", "a", "03 02000000", ""},
      {"empty name", "07 00 00", "", "00", ""},
      {"trailing bytes are ignored", "07 01 61 00 ff", "a", "00", ""},
      {"cut-off arguments", "07 01 61 03 01", "a", "03 00000000", kInvalidRead},
      {"integer name", "03 01000000", nullptr, "", kNotAString},
      {"null name", "00", nullptr, "", kNotAString},
      {"empty message", "", nullptr, "",
       std::string(kInvalidRead) + kNotAString},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = Bytes(c.hex);
    testing::internal::CaptureStderr();
    std::unique_ptr<MethodCall<EncodableValue>> call =
        Codec().DecodeMethodCall(bytes.data(), bytes.size());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.errors);
    if (c.method == nullptr) {
      EXPECT_EQ(call, nullptr);
      continue;
    }
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->name(), c.method);
    ASSERT_NE(call->args(), nullptr);
    EXPECT_EQ(Hex(Encode(*call->args())), Hex(Bytes(c.arguments)));
  }
}

TEST(StandardMethodCodecTest, EncodesMethodCalls) {
  MethodCall<EncodableValue> without_arguments("a", nullptr);
  EXPECT_EQ(Hex(*Codec().EncodeMethodCall(without_arguments)), "07 01 61 00");

  MethodCall<EncodableValue> tunnel(
      "establishTunnel",
      std::make_unique<EncodableValue>(EstablishTunnelArguments()));
  std::unique_ptr<std::vector<uint8_t>> bytes =
      Codec().EncodeMethodCall(tunnel);
  // No envelope byte: the name first, then a map of seven entries.
  std::string hex = Hex(*bytes);
  EXPECT_EQ(hex.substr(0, 56),
            "07 0f 65 73 74 61 62 6c 69 73 68 54 75 6e 6e 65 6c 0d 07");

  std::unique_ptr<MethodCall<EncodableValue>> decoded =
      Codec().DecodeMethodCall(bytes->data(), bytes->size());
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(decoded->name(), "establishTunnel");
  ASSERT_NE(decoded->args(), nullptr);
  EXPECT_EQ(*decoded->args(), EstablishTunnelArguments());
}

TEST(StandardMethodCodecTest, EncodesEnvelopes) {
  const EncodableValue five(int32_t{5});
  const EncodableValue seven(int32_t{7});
  const EncodableValue one(1.0);
  const EncodableValue stats(
      EncodableMap{{EncodableValue("bytesUp"), EncodableValue(int64_t{2})},
                   {EncodableValue("bytesDown"), EncodableValue(int64_t{1})}});
  struct Case {
    const char* name;
    std::unique_ptr<std::vector<uint8_t>> bytes;
    const char* hex;
  };
  const Case cases[] = {
      {"success without value", Codec().EncodeSuccessEnvelope(nullptr),
       "00 00"},
      {"success 5", Codec().EncodeSuccessEnvelope(&five), "00 03 05000000"},
      {"success double pads six bytes", Codec().EncodeSuccessEnvelope(&one),
       "00 06 000000000000 000000000000f03f"},
      {"statistics reply", Codec().EncodeSuccessEnvelope(&stats),
       "00 0d 02 07 09 6279746573446f776e 04 0100000000000000"
       "         07 07 62797465735570   04 0200000000000000"},
      {"error with empty message",
       Codec().EncodeErrorEnvelope("E", "", nullptr), "01 07 01 45 00 00"},
      {"error with message and details",
       Codec().EncodeErrorEnvelope("E", "msg", &seven),
       "01 07 01 45 07 03 6d7367 03 07000000"},
      {"error code and message",
       Codec().EncodeErrorEnvelope("INVALID_CONFIG", "no", nullptr),
       "01 07 0e 494e56414c49445f434f4e464947 07 02 6e6f 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.bytes, nullptr);
    EXPECT_EQ(Hex(*c.bytes), Hex(Bytes(c.hex)));
  }
}

TEST(StandardMethodCodecTest, DecodesResponseEnvelopes) {
  struct Case {
    const char* name;
    const char* hex;
    bool decoded;
    std::vector<std::string> answers;
    std::string errors;
  };
  const std::string two_invalid_reads =
      std::string(kInvalidRead) + kInvalidRead;
  const Case cases[] = {
      {"success without value", "00 00", true, {"success none"}, ""},
      {"success 5", "00 03 05000000", true, {"success 03 05 00 00 00"}, ""},
      {"error without message",
       "01 07 01 45 00 00",
       true,
       {"error E||none"},
       ""},
      {"error with details",
       "01 07 01 45 07 03 6d7367 03 07000000",
       true,
       {"error E|msg|03 07 00 00 00"},
       ""},
      {"cut-off error",
       "01 07 01 45",
       true,
       {"error E||none"},
       two_invalid_reads},
      {"empty reply reads as success",
       "",
       true,
       {"success none"},
       two_invalid_reads},
      {"unknown envelope 2", "02", false, {}, ""},
      {"unknown envelope 255", "ff 00", false, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = Bytes(c.hex);
    RecordingResult result;
    testing::internal::CaptureStderr();
    bool decoded =
        Codec().DecodeResponseEnvelope(bytes.data(), bytes.size(), &result);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.errors);
    EXPECT_EQ(decoded, c.decoded);
    EXPECT_EQ(result.answers, c.answers);
  }
}

TEST(StandardMethodCodecTest, MalformedErrorEnvelopeThrowsBadVariantAccess) {
  const char* cases[] = {
      "01 03 01000000 00 00",        // code is an integer
      "01 07 01 45 03 01000000 00",  // message is an integer
      "01 00 07 01 6d 00",           // code is null
  };
  for (const char* hex : cases) {
    SCOPED_TRACE(hex);
    std::vector<uint8_t> bytes = Bytes(hex);
    RecordingResult result;
    EXPECT_THROW(
        Codec().DecodeResponseEnvelope(bytes.data(), bytes.size(), &result),
        std::bad_variant_access);
    EXPECT_TRUE(result.answers.empty());
  }
}

// Writes custom values as tag 0x80 and reads that tag back as "custom".
class MarkerSerializer : public StandardCodecSerializer {
 public:
  void WriteValue(const EncodableValue& value,
                  ByteStreamWriter* stream) const override {
    if (std::holds_alternative<CustomValueHolder>(value)) {
      stream->WriteByte(0x80);
      return;
    }
    StandardCodecSerializer::WriteValue(value, stream);
  }
  EncodableValue ReadValueOfType(uint8_t type,
                                 ByteStreamReader* stream) const override {
    if (type == 0x80) {
      return EncodableValue("custom");
    }
    return StandardCodecSerializer::ReadValueOfType(type, stream);
  }
};

TEST(StandardMethodCodecTest, GetInstanceGivesOneCodecPerSerializer) {
  const StandardMethodCodec& shared = StandardMethodCodec::GetInstance();
  EXPECT_EQ(&shared, &StandardMethodCodec::GetInstance(nullptr));
  EXPECT_EQ(&shared, &StandardMethodCodec::GetInstance(
                         &StandardCodecSerializer::GetInstance()));

  static const MarkerSerializer marker;
  const StandardMethodCodec& custom = StandardMethodCodec::GetInstance(&marker);
  EXPECT_NE(&custom, &shared);
  EXPECT_EQ(&custom, &StandardMethodCodec::GetInstance(&marker));

  const EncodableValue list(
      EncodableList{EncodableValue(CustomValueHolder(1))});
  EXPECT_EQ(Hex(*custom.EncodeSuccessEnvelope(&list)), "00 0c 01 80");
  std::vector<uint8_t> call = Bytes("07 01 61 0c 01 80");
  std::unique_ptr<MethodCall<EncodableValue>> decoded =
      custom.DecodeMethodCall(call.data(), call.size());
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(*decoded->args(),
            EncodableValue(EncodableList{EncodableValue("custom")}));
}

}  // namespace
}  // namespace flutter
