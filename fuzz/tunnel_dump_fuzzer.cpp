// Parses arbitrary text as the dump of `wg show <tunnel> dump` and hides its
// secrets for the log. The log text must keep every line and field, and no
// secret of the input may show in it: the first field of a line of 4
// fields (the private key), the second of a line of 8 (a preshared key).
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tunnel/tunnel_stats.h"

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// A secret worth looking for: base64 text, too long to be part of
// "(hidden)".
bool IsKeyLike(const std::string& field) {
  if (field.size() < 8) return false;
  for (char c : field) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '/' &&
        c != '=') {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string dump(reinterpret_cast<const char*>(data), size);
  TunnelStats stats;
  ParseTunnelDump(dump, stats);
  const std::string shown = HideDumpSecrets(dump);

  std::vector<std::string> secrets;
  std::vector<std::string> public_fields;
  const std::vector<std::string> lines = Split(dump, '\n');
  if (Split(shown, '\n').size() != lines.size()) std::abort();
  for (const std::string& line : lines) {
    const std::vector<std::string> fields = Split(line, '\t');
    for (size_t i = 0; i < fields.size(); ++i) {
      const bool secret =
          (fields.size() == 4 && i == 0) || (fields.size() == 8 && i == 1);
      (secret && IsKeyLike(fields[i]) ? secrets : public_fields)
          .push_back(fields[i]);
    }
  }
  // A secret may show only where the same text also stands in a field that
  // is not secret.
  for (const std::string& secret : secrets) {
    if (shown.find(secret) == std::string::npos) continue;
    bool also_public = false;
    for (const std::string& field : public_fields) {
      also_public = also_public || field.find(secret) != std::string::npos;
    }
    if (!also_public) std::abort();
  }
  return 0;
}
