#include "tests/support/scoped_environment.h"

#include <vector>

#include "util/windows_include.h"

ScopedEnvironmentVariable::ScopedEnvironmentVariable(std::wstring name,
                                                     const wchar_t* value)
    : name_(std::move(name)) {
  const DWORD size = ::GetEnvironmentVariableW(name_.c_str(), nullptr, 0);
  if (size > 0) {
    std::vector<wchar_t> buffer(size);
    const DWORD length =
        ::GetEnvironmentVariableW(name_.c_str(), buffer.data(), size);
    had_value_ = true;
    old_value_.assign(buffer.data(), length);
  }
  ::SetEnvironmentVariableW(name_.c_str(), value);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
  ::SetEnvironmentVariableW(name_.c_str(),
                            had_value_ ? old_value_.c_str() : nullptr);
}
