#include "tests/support/files.h"

#include <string>

#include "tests/support/wine.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

void ForEachEntry(const std::wstring& pattern,
                  const std::function<void(const std::wstring&)>& visit) {
  WIN32_FIND_DATAW entry = {};
  const UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &entry));
  if (!find) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") visit(name);
  } while (::FindNextFileW(find.get(), &entry));
}

void DeleteTree(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  // A symbolic link or junction is deleted itself, never gone through:
  // what it points to may lie anywhere.
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    if (!::RemoveDirectoryW(path.c_str()) && !::DeleteFileW(path.c_str())) {
      RemoveUnixLink(path);
    }
    return;
  }
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::DeleteFileW(path.c_str());
    return;
  }
  ForEachEntry(path + L"\\*", [&path](const std::wstring& name) {
    DeleteTree(path + L"\\" + name);
  });
  ::RemoveDirectoryW(path.c_str());
}

bool CreateFolders(const std::wstring& path) {
  if (::CreateDirectoryW(path.c_str(), nullptr)) return true;
  if (::GetLastError() == ERROR_ALREADY_EXISTS) return true;
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos || slash == 0) return false;
  return CreateFolders(path.substr(0, slash)) &&
         ::CreateDirectoryW(path.c_str(), nullptr);
}

std::string ReadWholeFile(const std::wstring& path) {
  UniqueFileHandle file(::CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string content;
  if (!file) return content;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) &&
         read > 0) {
    content.append(buffer, read);
  }
  return content;
}

bool WriteWholeFile(const std::wstring& path, const std::string& content) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  DWORD written = 0;
  return file &&
         ::WriteFile(file.get(), content.data(),
                     static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size();
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FromBuildPath(const std::string& build_path) {
  std::wstring path = !build_path.empty() && build_path[0] == '/' ? L"Z:" : L"";
  for (char c : build_path) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}
