// Move-only owners for operating-system handles. Each kind of handle has a
// traits type that names its invalid value and how it is closed; an owner
// closes its handle exactly once, on destruction or reset.
#ifndef KEELHAVEN_UTIL_UNIQUE_HANDLE_H_
#define KEELHAVEN_UTIL_UNIQUE_HANDLE_H_

#include <utility>

#include "util/windows_include.h"

template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Type handle) noexcept : handle_(handle) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Type get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  // Where a Windows call writes a new handle: closes the current one first.
  Type* put() noexcept {
    reset();
    return &handle_;
  }

  Type release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

  // Closes the held handle, if any, and takes `handle`. Keeps the thread's
  // last-error value, so a caller may reset on a failure path and still
  // report the error of the call that failed.
  void reset(Type handle = Traits::Invalid()) noexcept {
    if (handle_ != Traits::Invalid()) {
      const DWORD last_error = ::GetLastError();
      Traits::Close(handle_);
      ::SetLastError(last_error);
    }
    handle_ = handle;
  }

 private:
  Type handle_ = Traits::Invalid();
};

// Kernel objects whose failure value is null: processes, threads, pipes,
// events, jobs.
struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type handle) noexcept { ::CloseHandle(handle); }
};

// Files from CreateFileW, which fails with INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type handle) noexcept { ::CloseHandle(handle); }
};

// Memory that Windows allocated for the caller with LocalAlloc
// (CommandLineToArgvW, security descriptors from SDDL).
struct LocalMemoryTraits {
  using Type = HLOCAL;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type memory) noexcept { ::LocalFree(memory); }
};

struct ModuleTraits {
  using Type = HMODULE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type module) noexcept { ::FreeLibrary(module); }
};

struct RegistryKeyTraits {
  using Type = HKEY;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type key) noexcept { ::RegCloseKey(key); }
};

// The service manager and its services (OpenSCManagerW, OpenServiceW,
// CreateServiceW), which fail with null.
struct ServiceHandleTraits {
  using Type = SC_HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type service) noexcept { ::CloseServiceHandle(service); }
};

// Directory searches (FindFirstFileW, FindFirstFileExW), which fail with
// INVALID_HANDLE_VALUE.
struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type find) noexcept { ::FindClose(find); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueLocalMemory = UniqueHandle<LocalMemoryTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;
using UniqueServiceHandle = UniqueHandle<ServiceHandleTraits>;

#endif  // KEELHAVEN_UTIL_UNIQUE_HANDLE_H_
