// Sets a process environment variable (seen by child processes too) for
// the object's lifetime, then restores the previous value.
#ifndef KEELHAVEN_TESTS_SUPPORT_SCOPED_ENVIRONMENT_H_
#define KEELHAVEN_TESTS_SUPPORT_SCOPED_ENVIRONMENT_H_

#include <string>

class ScopedEnvironmentVariable {
 public:
  // A null value removes the variable.
  ScopedEnvironmentVariable(std::wstring name, const wchar_t* value);
  ~ScopedEnvironmentVariable();
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) =
      delete;

 private:
  std::wstring name_;
  bool had_value_ = false;
  std::wstring old_value_;
};

#endif  // KEELHAVEN_TESTS_SUPPORT_SCOPED_ENVIRONMENT_H_
