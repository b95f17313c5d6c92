// Channel messages as text, for people and scripts: method calls encoded
// from a method name and string parameters, replies decoded into one
// readable line. Used by the channel tool (which writes the stand-in
// engine's scripts and reads its transcripts) and by the end-to-end tests.
#ifndef KEELHAVEN_STANDINS_CHANNEL_TOOL_CHANNEL_TEXT_H_
#define KEELHAVEN_STANDINS_CHANNEL_TOOL_CHANNEL_TEXT_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "codec/encodable_value.h"
// ToHex and ParseHex: scripts and transcripts carry messages as hex.
#include "standins/common/text.h"

namespace channel_text {

// One string parameter of a method call.
using Parameter = std::pair<std::string, std::string>;

// The standard method codec's bytes of a call of `method`. With no
// parameters the call has no arguments; otherwise its arguments are a map of
// the parameters (string keys, string values; a repeated key keeps its last
// value).
std::vector<uint8_t> EncodeCall(const std::string& method,
                                const std::vector<Parameter>& parameters);

// Parses "key=value" (the first '=' splits; the value may hold more).
// False when there is no '=' or the key is empty.
bool ParseParameter(const std::string& text, Parameter* parameter);

// A value on one line: null, true, 42, "text", [1, 2], {key: value}. String
// keys of a map are written without quotes.
std::string Describe(const flutter::EncodableValue& value);

// A reply envelope on one line:
//   success null
//   success {bytesDown: 4096, bytesUp: 1024}
//   error CODE "message"            (details, when present, follow)
//   not implemented                 (the empty reply)
//   undecodable <hex>               (not a reply envelope)
std::string DescribeReply(const std::vector<uint8_t>& reply);

}  // namespace channel_text

#endif  // KEELHAVEN_STANDINS_CHANNEL_TOOL_CHANNEL_TEXT_H_
