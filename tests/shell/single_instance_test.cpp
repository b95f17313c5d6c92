#include "shell/single_instance.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "util/unique_handle.h"
#include "util/windows_include.h"
// After windows.h:
#include <aclapi.h>
#include <sddl.h>

namespace {

// The DACL of the held mutex, as SDDL; empty when it can't be read.
std::wstring MutexDacl() {
  const UniqueKernelHandle mutex(
      ::OpenMutexW(READ_CONTROL, FALSE, kSingleInstanceMutexName));
  if (!mutex) return L"";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(mutex.get(), SE_KERNEL_OBJECT,
                        DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS) {
    return L"";
  }
  const UniqueLocalMemory owned(descriptor);
  LPWSTR text = nullptr;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
          nullptr)) {
    return L"";
  }
  const UniqueLocalMemory owned_text(text);
  return text;
}

// The first copy holds the mutex for as long as it lives, and only SYSTEM
// and Administrators may open it; every later copy finds it held, also
// after the first of them has gone, until the holder goes.
TEST(SingleInstanceTest, OnlyTheFirstHolderIsFirstUntilItGoes) {
  auto first = std::make_unique<SingleInstance>();
  ASSERT_TRUE(first->first());
  EXPECT_EQ(MutexDacl(), L"D:P(A;;GA;;;SY)(A;;GA;;;BA)");
  {
    const SingleInstance second;
    EXPECT_FALSE(second.first());
  }
  EXPECT_FALSE(SingleInstance().first());
  first.reset();
  EXPECT_TRUE(SingleInstance().first());
}

}  // namespace
