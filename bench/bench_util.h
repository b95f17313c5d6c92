// Small pieces the self-timing Windows benchmarks share.
#ifndef KEELHAVEN_BENCH_BENCH_UTIL_H_
#define KEELHAVEN_BENCH_BENCH_UTIL_H_

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_keys.h"
#include "util/windows_include.h"

// Milliseconds of the performance counter.
inline double NowMs() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// The number given as "<prefix>N" on the command line (the last one wins),
// or `fallback`; 0 for a prefix followed by no number.
inline int CountOption(int argc, char** argv, const char* prefix,
                       int fallback) {
  const size_t length = std::strlen(prefix);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], prefix, length) == 0) {
      fallback = std::atoi(argv[i] + length);
    }
  }
  return fallback;
}

// The seven string parameters of a valid "establishTunnel", with the tests'
// keys.
inline std::vector<std::pair<std::string, std::string>> EstablishFields() {
  return {{"privateKey", kTestPrivateKey},     {"publicKey", kTestClientKey},
          {"serverPublicKey", kTestServerKey}, {"endpoint", kTestEndpoint},
          {"allowedIps", "0.0.0.0/0, ::/0"},   {"dns", "1.1.1.1"},
          {"address", "10.8.0.2/32"}};
}

#endif  // KEELHAVEN_BENCH_BENCH_UTIL_H_
