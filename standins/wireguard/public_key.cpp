#include "standins/wireguard/public_key.h"

#include <array>
#include <cstdint>

namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// FNV-1a, 64 bits, over a salt byte and the text.
uint64_t Fnv1a(uint8_t salt, std::string_view text) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  auto mix = [&hash](uint8_t byte) {
    hash ^= byte;
    hash *= 0x100000001b3ULL;
  };
  mix(salt);
  for (char c : text) mix(static_cast<uint8_t>(c));
  return hash;
}

std::string Base64(const std::array<uint8_t, 32>& bytes) {
  std::string out;
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t group = (uint32_t{bytes[i]} << 16) |
                           (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    for (int shift = 18; shift >= 0; shift -= 6) {
      out.push_back(kBase64Alphabet[(group >> shift) & 0x3F]);
    }
  }
  // 32 bytes leave two over: three characters and one '='.
  const uint32_t group =
      (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8);
  out.push_back(kBase64Alphabet[(group >> 18) & 0x3F]);
  out.push_back(kBase64Alphabet[(group >> 12) & 0x3F]);
  out.push_back(kBase64Alphabet[(group >> 6) & 0x3F]);
  out.push_back('=');
  return out;
}

}  // namespace

std::string DerivePublicKey(std::string_view private_key) {
  std::array<uint8_t, 32> bytes{};
  for (uint8_t part = 0; part < 4; ++part) {
    const uint64_t hash = Fnv1a(part, private_key);
    for (int i = 0; i < 8; ++i) {
      bytes[part * 8 + i] = static_cast<uint8_t>(hash >> (8 * i));
    }
  }
  std::string key = Base64(bytes);
  // A private key that happens to equal its own hash would be printed as
  // its own public key; change one character so the two always differ.
  if (key == private_key) key[0] = key[0] == 'A' ? 'B' : 'A';
  return key;
}
