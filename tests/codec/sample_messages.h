// Realistic channel payloads, shared by the tests and the benchmarks.
#ifndef KEELHAVEN_TESTS_CODEC_SAMPLE_MESSAGES_H_
#define KEELHAVEN_TESTS_CODEC_SAMPLE_MESSAGES_H_

#include "codec/encodable_value.h"
#include "tests/support/test_keys.h"

namespace keelhaven_test {

// The seven parameters of "establishTunnel".
inline flutter::EncodableValue EstablishTunnelArguments() {
  using flutter::EncodableValue;
  return EncodableValue(flutter::EncodableMap{
      {EncodableValue("privateKey"), EncodableValue(kTestPrivateKey)},
      {EncodableValue("publicKey"), EncodableValue(kTestClientKey)},
      {EncodableValue("serverPublicKey"), EncodableValue(kTestServerKey)},
      {EncodableValue("endpoint"), EncodableValue("vpn.example.net:51820")},
      {EncodableValue("allowedIps"), EncodableValue("0.0.0.0/0, ::/0")},
      {EncodableValue("dns"), EncodableValue("1.1.1.1, 1.0.0.1")},
      {EncodableValue("address"), EncodableValue("10.8.0.2/32")},
  });
}

}  // namespace keelhaven_test

#endif  // KEELHAVEN_TESTS_CODEC_SAMPLE_MESSAGES_H_
