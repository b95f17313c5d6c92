#include "tests/support/handle_count.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "util/windows_include.h"

namespace {

constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

struct HandleEntry {
  PVOID object;
  ULONG_PTR process_id;
  ULONG_PTR handle_value;
  ULONG granted_access;
  USHORT creator_back_trace_index;
  USHORT object_type_index;
  ULONG handle_attributes;
  ULONG reserved;
};

struct HandleTable {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

}  // namespace

std::ptrdiff_t CountProcessHandles(unsigned long process_id) {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return -1;
  const auto query =
      reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
          ::GetProcAddress(ntdll, "NtQuerySystemInformation")));
  if (query == nullptr) return -1;

  std::vector<unsigned char> buffer(1 << 20);
  LONG status = kStatusInfoLengthMismatch;
  // The table grows while we look; a few retries with more room suffice.
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    status = query(kSystemExtendedHandleInformation, buffer.data(),
                   static_cast<ULONG>(buffer.size()), &needed);
    if (status != kStatusInfoLengthMismatch) break;
    buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 65536));
  }
  if (status < 0) return -1;

  const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
  const size_t capacity =
      (buffer.size() - offsetof(HandleTable, entries)) / sizeof(HandleEntry);
  std::ptrdiff_t count = 0;
  for (size_t i = 0; i < table->count && i < capacity; ++i) {
    if (table->entries[i].process_id == process_id) ++count;
  }
  return count;
}

std::ptrdiff_t CountOwnHandles() {
  return CountProcessHandles(::GetCurrentProcessId());
}
