// Runs code the engine library calls back into. The engine is built by
// another compiler, so an exception must never unwind into its frames.
#ifndef KEELHAVEN_EMBEDDING_GUARDED_CALL_H_
#define KEELHAVEN_EMBEDDING_GUARDED_CALL_H_

#include <exception>
#include <iostream>
#include <string_view>

namespace flutter {

inline void ReportFailedCall(std::string_view what, std::string_view name,
                             const char* reason) noexcept {
  try {
    std::cerr << "Error: " << what << name << " failed: " << reason
              << std::endl;
  } catch (...) {
    // Nothing is left to tell it to.
  }
}

// Runs `body`. When it throws, writes "Error: <what><name> failed: <reason>"
// as one line to standard error and returns false; the reason is the
// exception's what() text, or "unknown exception". Never throws.
template <typename Body>
bool GuardedCall(std::string_view what, std::string_view name,
                 Body&& body) noexcept {
  try {
    body();
    return true;
  } catch (const std::exception& failure) {
    // Reported here: the text lives only as long as the exception.
    ReportFailedCall(what, name, failure.what());
  } catch (...) {
    ReportFailedCall(what, name, "unknown exception");
  }
  return false;
}

}  // namespace flutter

#endif  // KEELHAVEN_EMBEDDING_GUARDED_CALL_H_
