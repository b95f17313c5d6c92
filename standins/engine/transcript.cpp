#include "standins/engine/transcript.h"

namespace standin {

bool Transcript::Open(const std::wstring& path) {
  // Shared for reading, writing and deletion: tests read the transcript
  // while the engine still holds it open.
  file_.reset(
      ::CreateFileW(path.c_str(), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file_.valid();
}

void Transcript::Write(const std::string& line) {
  if (!file_) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  ::WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(),
                                         static_cast<int>(text.size()), nullptr,
                                         0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string result(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                        &result[0], size, nullptr, nullptr);
  return result;
}

std::wstring ToWide(const std::string& text) {
  if (text.empty()) return {};
  const int size = ::MultiByteToWideChar(
      CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring result(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                        &result[0], size);
  return result;
}

}  // namespace standin
