#include "standins/wireguard/public_key.h"

#include <cstdint>

namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint64_t kFnvPrime = 0x100000001b3ULL;

}  // namespace

std::string DerivePublicKey(std::string_view private_key) {
  // FNV-1a over the text, stirred on for each of the 43 base64 digits.
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (char c : private_key)
    hash = (hash ^ static_cast<uint8_t>(c)) * kFnvPrime;
  std::string key;
  for (uint8_t digit = 0; digit < 43; ++digit) {
    hash = (hash ^ digit) * kFnvPrime;
    key.push_back(kBase64Alphabet[hash >> 58]);
  }
  key.push_back('=');
  // A private key that happens to equal its own hash would be printed as
  // its own public key; change one character so the two always differ.
  if (key == private_key) key[0] = key[0] == 'A' ? 'B' : 'A';
  return key;
}
