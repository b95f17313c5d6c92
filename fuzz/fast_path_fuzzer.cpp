// The shared standard serializer reads and writes nested values itself, in
// place over the byte-buffer streams' memory; any other serializer goes
// through its virtual operations and the streams' virtual calls at every
// depth. A derived serializer that overrides nothing must agree with the
// shared one on every input: the same values, the same lines on standard
// error, the same final position, the same bytes written, the same
// exceptions.
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "codec/byte_cursors.h"
#include "codec/byte_streams.h"
#include "codec/method_result.h"
#include "codec/standard_codec_serializer.h"
#include "codec/standard_method_codec.h"

namespace {

using flutter::EncodableValue;
using flutter::StandardCodecSerializer;

// Changes nothing but takes the virtual way.
class DerivedSerializer : public StandardCodecSerializer {};

const StandardCodecSerializer& Derived() {
  static const DerivedSerializer serializer;
  return serializer;
}

void Check(bool agreed) {
  if (!agreed) {
    std::abort();
  }
}

// What f writes to standard error.
template <typename F>
std::string ErrorsOf(F f) {
  std::ostringstream captured;
  std::streambuf* before = std::cerr.rdbuf(captured.rdbuf());
  f();
  std::cerr.rdbuf(before);
  return captured.str();
}

// A value's encoding by the virtual path, which tells values apart exactly
// (doubles by their bits, maps by their entries).
std::vector<uint8_t> Fingerprint(const EncodableValue& value) {
  std::vector<uint8_t> bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  Derived().WriteValue(value, &writer);
  return bytes;
}

// Up to three values read one after another from the same reader.
struct Reading {
  std::vector<std::vector<uint8_t>> values;
  std::string errors;
  size_t location = 0;
};

Reading ReadValues(const StandardCodecSerializer& serializer,
                   const uint8_t* data, size_t size) {
  Reading reading;
  flutter::ByteBufferStreamReader reader(data, size);
  reading.errors = ErrorsOf([&] {
    for (int i = 0; i < 3 && reader.RemainingBytes() > 0; ++i) {
      // Both ways in: ReadValue, and ReadValueOfType after a tag.
      reading.values.push_back(Fingerprint(
          i == 1 ? serializer.ReadValueOfType(reader.ReadByte(), &reader)
                 : serializer.ReadValue(&reader)));
    }
  });
  reading.location = reader.InputSpan()->location();
  return reading;
}

// Writes value after offset bytes, so that padding starts at every
// position.
std::pair<std::vector<uint8_t>, std::string> WriteValue(
    const StandardCodecSerializer& serializer, const EncodableValue& value,
    size_t offset) {
  std::vector<uint8_t> bytes(offset, 0xee);
  std::string errors = ErrorsOf([&] {
    flutter::ByteBufferStreamWriter writer(&bytes);
    serializer.WriteValue(value, &writer);
  });
  return {bytes, errors};
}

// Records what a reply envelope answered.
class RecordingResult : public flutter::MethodResult<EncodableValue> {
 public:
  std::string record;

 protected:
  void HandleSuccess(const EncodableValue* result) override {
    record = "success " + Text(result);
  }
  void HandleError(const std::string& code, const std::string& message,
                   const EncodableValue* details) override {
    record = "error " + code + "|" + message + "|" + Text(details);
  }
  void HandleNotImplemented() override { record = "not implemented"; }

 private:
  static std::string Text(const EncodableValue* value) {
    if (value == nullptr) {
      return "none";
    }
    std::vector<uint8_t> bytes = Fingerprint(*value);
    return std::string(bytes.begin(), bytes.end());
  }
};

// Everything the method codec does with data.
std::string CodecTranscript(const flutter::StandardMethodCodec& codec,
                            const uint8_t* data, size_t size) {
  std::string transcript;
  std::string errors = ErrorsOf([&] {
    auto call = codec.DecodeMethodCall(data, size);
    if (call == nullptr) {
      transcript += "no call;";
    } else {
      std::unique_ptr<std::vector<uint8_t>> encoded =
          codec.EncodeMethodCall(*call);
      transcript += "call " + std::string(encoded->begin(), encoded->end());
      const EncodableValue* arguments = call->args();
      encoded = codec.EncodeSuccessEnvelope(arguments);
      transcript += ";success " + std::string(encoded->begin(), encoded->end());
      encoded =
          codec.EncodeErrorEnvelope(call->name(), call->name(), arguments);
      transcript += ";error " + std::string(encoded->begin(), encoded->end());
      encoded = codec.EncodeErrorEnvelope(call->name(), "", nullptr);
      transcript += ";error " + std::string(encoded->begin(), encoded->end());
    }
    RecordingResult result;
    try {
      bool answered = codec.DecodeResponseEnvelope(data, size, &result);
      transcript += answered ? ";reply " + result.record : ";no reply";
    } catch (const std::bad_variant_access&) {
      transcript += ";bad variant " + result.record;
    }
  });
  return transcript + ";errors " + errors;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const StandardCodecSerializer& standard =
      StandardCodecSerializer::GetInstance();
  Reading fast = ReadValues(standard, data, size);
  Reading slow = ReadValues(Derived(), data, size);
  Check(fast.values == slow.values);
  Check(fast.errors == slow.errors);
  Check(fast.location == slow.location);

  EncodableValue value;
  ErrorsOf([&] {
    flutter::ByteBufferStreamReader reader(data, size);
    value = standard.ReadValue(&reader);
  });
  size_t offset = size > 0 ? data[0] % 9 : 0;
  Check(WriteValue(standard, value, offset) ==
        WriteValue(Derived(), value, offset));

  Check(CodecTranscript(flutter::StandardMethodCodec::GetInstance(), data,
                        size) ==
        CodecTranscript(flutter::StandardMethodCodec::GetInstance(&Derived()),
                        data, size));
  return 0;
}
