#include "standins/channel_tool/channel_text.h"

#include <memory>
#include <sstream>
#include <variant>

#include "codec/method_call.h"
#include "codec/method_result.h"
#include "codec/standard_method_codec.h"

namespace channel_text {
namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

template <typename Element>
std::string DescribeNumbers(const std::vector<Element>& numbers) {
  std::ostringstream text;
  text << "[";
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) text << ", ";
    // Bytes print as numbers, not characters.
    text << +numbers[i];
  }
  text << "]";
  return text.str();
}

std::string DescribeMap(const EncodableMap& map) {
  std::string text = "{";
  bool first = true;
  for (const auto& entry : map) {
    if (!first) text += ", ";
    first = false;
    const auto* key = std::get_if<std::string>(&entry.first);
    text += key ? *key : Describe(entry.first);
    text += ": " + Describe(entry.second);
  }
  return text + "}";
}

// Collects what a decoded envelope answers.
class DescribingResult : public flutter::MethodResult<EncodableValue> {
 public:
  const std::string& text() const { return text_; }

 protected:
  void HandleSuccess(const EncodableValue* result) override {
    text_ = "success " + (result ? Describe(*result) : std::string("null"));
  }
  void HandleError(const std::string& code, const std::string& message,
                   const EncodableValue* details) override {
    text_ = "error " + code + " " + Quoted(message);
    if (details) text_ += " " + Describe(*details);
  }
  void HandleNotImplemented() override { text_ = "not implemented"; }

 private:
  std::string text_;
};

}  // namespace

std::vector<uint8_t> EncodeCall(const std::string& method,
                                const std::vector<Parameter>& parameters) {
  std::unique_ptr<EncodableValue> arguments;
  if (!parameters.empty()) {
    EncodableMap map;
    for (const Parameter& parameter : parameters) {
      map[EncodableValue(parameter.first)] = EncodableValue(parameter.second);
    }
    arguments = std::make_unique<EncodableValue>(std::move(map));
  }
  const flutter::MethodCall<EncodableValue> call(method, std::move(arguments));
  return *flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(call);
}

bool ParseParameter(const std::string& text, Parameter* parameter) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  *parameter = {text.substr(0, equals), text.substr(equals + 1)};
  return true;
}

std::string Describe(const EncodableValue& value) {
  if (value.IsNull()) return "null";
  if (const auto* flag = std::get_if<bool>(&value)) {
    return *flag ? "true" : "false";
  }
  if (const auto* number = std::get_if<int32_t>(&value)) {
    return std::to_string(*number);
  }
  if (const auto* number = std::get_if<int64_t>(&value)) {
    return std::to_string(*number);
  }
  if (const auto* number = std::get_if<double>(&value)) {
    std::ostringstream text;
    text << *number;
    return text.str();
  }
  if (const auto* text = std::get_if<std::string>(&value)) return Quoted(*text);
  if (const auto* list = std::get_if<std::vector<uint8_t>>(&value)) {
    return DescribeNumbers(*list);
  }
  if (const auto* list = std::get_if<std::vector<int32_t>>(&value)) {
    return DescribeNumbers(*list);
  }
  if (const auto* list = std::get_if<std::vector<int64_t>>(&value)) {
    return DescribeNumbers(*list);
  }
  if (const auto* list = std::get_if<std::vector<double>>(&value)) {
    return DescribeNumbers(*list);
  }
  if (const auto* list = std::get_if<std::vector<float>>(&value)) {
    return DescribeNumbers(*list);
  }
  if (const auto* list = std::get_if<EncodableList>(&value)) {
    std::string text = "[";
    for (size_t i = 0; i < list->size(); ++i) {
      if (i > 0) text += ", ";
      text += Describe((*list)[i]);
    }
    return text + "]";
  }
  if (const auto* map = std::get_if<EncodableMap>(&value)) {
    return DescribeMap(*map);
  }
  return "<custom>";
}

std::string DescribeReply(const std::vector<uint8_t>& reply) {
  if (reply.empty()) return "not implemented";
  DescribingResult result;
  bool decoded = false;
  try {
    decoded =
        flutter::StandardMethodCodec::GetInstance().DecodeResponseEnvelope(
            reply.data(), reply.size(), &result);
  } catch (const std::bad_variant_access&) {
    // An error envelope whose code or message is not a string.
    decoded = false;
  }
  return decoded ? result.text() : "undecodable " + ::ToHex(reply);
}

}  // namespace channel_text
