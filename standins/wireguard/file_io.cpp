#include "standins/wireguard/file_io.h"

#include "util/unique_handle.h"
#include "util/windows_include.h"

ReadStatus ReadSmallFile(const std::wstring& path, size_t max_bytes,
                         std::string* contents) {
  UniqueFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = ::GetLastError();
    return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
               ? ReadStatus::kMissing
               : ReadStatus::kFailed;
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) return ReadStatus::kFailed;
  if (size.QuadPart < 0 || static_cast<uint64_t>(size.QuadPart) > max_bytes) {
    return ReadStatus::kTooLarge;
  }
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  size_t filled = 0;
  while (filled < bytes.size()) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), &bytes[filled],
                    static_cast<DWORD>(bytes.size() - filled), &read,
                    nullptr)) {
      return ReadStatus::kFailed;
    }
    if (read == 0) break;  // shrank meanwhile
    filled += read;
  }
  bytes.resize(filled);
  *contents = std::move(bytes);
  return ReadStatus::kOk;
}

WriteStatus WriteWholeFile(const std::wstring& path, std::string_view bytes,
                           bool must_be_new) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                      must_be_new ? CREATE_NEW : CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = ::GetLastError();
    return (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
               ? WriteStatus::kExists
               : WriteStatus::kFailed;
  }
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                     &written, nullptr) ||
        written == 0) {
      file.reset();
      ::DeleteFileW(path.c_str());
      return WriteStatus::kFailed;
    }
    bytes.remove_prefix(written);
  }
  return WriteStatus::kOk;
}

bool CreateFolderTree(const std::wstring& path) {
  // Each level in turn; failures on the way (a drive root, a level that
  // exists) are expected, only the final check counts.
  for (size_t i = path.find_first_of(L"\\/", 1); i != std::wstring::npos;
       i = path.find_first_of(L"\\/", i + 1)) {
    ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
  }
  ::CreateDirectoryW(path.c_str(), nullptr);
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
