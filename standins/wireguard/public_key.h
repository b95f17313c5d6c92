// The interface public key that the stand-in wg.exe shows.
#ifndef KEELHAVEN_STANDINS_WIREGUARD_PUBLIC_KEY_H_
#define KEELHAVEN_STANDINS_WIREGUARD_PUBLIC_KEY_H_

#include <string>
#include <string_view>

// A stand-in for the Curve25519 public key of `private_key`: 43 base64
// digits drawn from a hash of it and '='. Always the same for the same
// private key and never equal to it. Not a real key.
std::string DerivePublicKey(std::string_view private_key);

#endif  // KEELHAVEN_STANDINS_WIREGUARD_PUBLIC_KEY_H_
