// The codec reports every malformed input on standard error; during fuzzing
// that is millions of lines of noise that slow the run. Sanitizer and
// libFuzzer reports go to the file descriptor directly and still appear.
#ifndef KEELHAVEN_FUZZ_QUIET_STDERR_H_
#define KEELHAVEN_FUZZ_QUIET_STDERR_H_

#include <iostream>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::cerr.rdbuf(nullptr);  // Every later write to std::cerr is dropped.
  return 0;
}

#endif  // KEELHAVEN_FUZZ_QUIET_STDERR_H_
