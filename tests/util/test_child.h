// The util test program doubles as the child process that the command
// runner tests start: given "--child=<mode>" it plays that mode instead of
// running the tests.
#ifndef KEELHAVEN_TESTS_UTIL_TEST_CHILD_H_
#define KEELHAVEN_TESTS_UTIL_TEST_CHILD_H_

#include <string>

// Modes (the child's standard output and standard error are the runner's
// pipe):
//   silent            writes nothing, exits 0
//   exit:<n>          exits with the 32-bit code n (unsigned decimal)
//   mixed             10 000 pattern bytes (PatternBytes) to standard output,
//                     "ERR-1\n" to standard error, "tail\n" to standard
//                     output; exits 0
//   big:<n>           n pattern bytes to standard output; exits 0
//   nul               the 6 bytes "a\0b\0\0c"; exits 0
//   close_then_sleep  writes "before close\n", closes its output, sleeps 60 s
//   hang              writes "still here\n", sleeps 60 s with output open
//   sleep             writes nothing, sleeps 60 s
//   grandchild        starts "sleep" with the same output, writes
//                     "grandchild=<pid>\n", exits 7 at once
// A mode that is not listed exits 99.
std::wstring TestChildCommand(const std::wstring& mode);

// The bytes of the pattern modes: byte i is 'a' + i % 26.
std::string PatternBytes(size_t count);

#endif  // KEELHAVEN_TESTS_UTIL_TEST_CHILD_H_
