#include "codec/standard_method_codec.h"

#include <iostream>
#include <map>
#include <utility>

#include "codec/byte_streams.h"

namespace flutter {

namespace {

constexpr uint8_t kSuccessEnvelope = 0;
constexpr uint8_t kErrorEnvelope = 1;

}  // namespace

const StandardMethodCodec& StandardMethodCodec::GetInstance(
    const StandardCodecSerializer* serializer) {
  if (serializer == nullptr) {
    // The codec nearly every caller asks for, without a lookup each time.
    static const StandardMethodCodec& shared =
        GetInstance(&StandardCodecSerializer::GetInstance());
    return shared;
  }
  // Never destroyed: channels hold references to the codecs until exit.
  static auto* const registry =
      new std::map<const StandardCodecSerializer*,
                   std::unique_ptr<StandardMethodCodec>>();
  std::unique_ptr<StandardMethodCodec>& codec = (*registry)[serializer];
  if (!codec) {
    codec.reset(new StandardMethodCodec(serializer));
  }
  return *codec;
}

StandardMethodCodec::StandardMethodCodec(
    const StandardCodecSerializer* serializer)
    : serializer_(serializer) {}

StandardMethodCodec::~StandardMethodCodec() = default;

std::unique_ptr<MethodCall<EncodableValue>>
StandardMethodCodec::DecodeMethodCall(const uint8_t* message,
                                      size_t message_size) const {
  ByteBufferStreamReader stream(message, message_size);
  EncodableValue name = serializer_->ReadValue(&stream);
  std::string* method_name = std::get_if<std::string>(&name);
  if (method_name == nullptr) {
    std::cerr << "Invalid method call; method name is not a string."
              << std::endl;
    return nullptr;
  }
  // Read even when the message ends here: no arguments and null arguments
  // are the same call.
  auto arguments =
      std::make_unique<EncodableValue>(serializer_->ReadValue(&stream));
  return std::make_unique<MethodCall<EncodableValue>>(std::move(*method_name),
                                                      std::move(arguments));
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeMethodCall(
    const MethodCall<EncodableValue>& method_call) const {
  const EncodableValue null_value;
  const EncodableValue& arguments =
      method_call.args() != nullptr ? *method_call.args() : null_value;
  auto message = std::make_unique<std::vector<uint8_t>>();
  ByteBufferStreamWriter stream(message.get());
  serializer_->WriteValue(EncodableValue(method_call.name()), &stream);
  serializer_->WriteValue(arguments, &stream);
  return message;
}

std::unique_ptr<std::vector<uint8_t>>
StandardMethodCodec::EncodeSuccessEnvelope(const EncodableValue* result) const {
  const EncodableValue null_value;
  const EncodableValue& value = result != nullptr ? *result : null_value;
  auto envelope = std::make_unique<std::vector<uint8_t>>();
  ByteBufferStreamWriter stream(envelope.get());
  stream.WriteByte(kSuccessEnvelope);
  serializer_->WriteValue(value, &stream);
  return envelope;
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeErrorEnvelope(
    const std::string& error_code, const std::string& error_message,
    const EncodableValue* error_details) const {
  // An empty message and a missing one are encoded alike, as null.
  const EncodableValue null_value;
  const EncodableValue& details =
      error_details != nullptr ? *error_details : null_value;
  auto envelope = std::make_unique<std::vector<uint8_t>>();
  ByteBufferStreamWriter stream(envelope.get());
  stream.WriteByte(kErrorEnvelope);
  serializer_->WriteValue(EncodableValue(error_code), &stream);
  serializer_->WriteValue(
      error_message.empty() ? null_value : EncodableValue(error_message),
      &stream);
  serializer_->WriteValue(details, &stream);
  return envelope;
}

bool StandardMethodCodec::DecodeResponseEnvelope(
    const uint8_t* response, size_t response_size,
    MethodResult<EncodableValue>* result) const {
  ByteBufferStreamReader stream(response, response_size);
  uint8_t envelope = stream.ReadByte();
  if (envelope == kSuccessEnvelope) {
    EncodableValue value = serializer_->ReadValue(&stream);
    if (value.IsNull()) {
      result->Success();
    } else {
      result->Success(value);
    }
    return true;
  }
  if (envelope == kErrorEnvelope) {
    EncodableValue code = serializer_->ReadValue(&stream);
    EncodableValue message = serializer_->ReadValue(&stream);
    EncodableValue details = serializer_->ReadValue(&stream);
    // The message is checked before the code; either of the wrong
    // alternative throws std::bad_variant_access.
    std::string message_text = message.IsNull()
                                   ? std::string()
                                   : std::move(std::get<std::string>(message));
    const std::string& code_text = std::get<std::string>(code);
    if (details.IsNull()) {
      result->Error(code_text, message_text);
    } else {
      result->Error(code_text, message_text, details);
    }
    return true;
  }
  return false;
}

}  // namespace flutter
