#include "shell/single_instance.h"

#include "util/security_descriptor.h"
#include "util/windows_include.h"

const wchar_t kSingleInstanceMutexName[] = L"Global\\Keelhaven.Host";

namespace {

// Under UAC the user's own SID is every unelevated program's too: only
// SYSTEM and Administrators may open it, so no unelevated program can hold
// it first to keep the host from running, or release it.
constexpr wchar_t kMutexSddl[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

// The class and title of the host's top-level window.
constexpr wchar_t kWindowClass[] = L"FLUTTER_RUNNER_WIN32_WINDOW";
constexpr wchar_t kWindowTitle[] = L"Keelhaven";

}  // namespace

SingleInstance::SingleInstance() {
  const SecurityDescriptor descriptor(kMutexSddl);
  SECURITY_ATTRIBUTES attributes = descriptor.attributes();
  mutex_.reset(::CreateMutexW(descriptor.valid() ? &attributes : nullptr, FALSE,
                              kSingleInstanceMutexName));
  const DWORD error = ::GetLastError();
  // Refused (ERROR_ACCESS_DENIED) means it exists, made by another copy.
  first_ = mutex_.valid() && error != ERROR_ALREADY_EXISTS;
}

void BringRunningCopyToFront() {
  const HWND window = ::FindWindowW(kWindowClass, kWindowTitle);
  if (window == nullptr) return;
  if (::IsIconic(window)) ::ShowWindow(window, SW_RESTORE);
  ::SetForegroundWindow(window);
}
