// A fresh folder under the temporary-files folder, deleted with everything
// in it when the object goes.
#ifndef KEELHAVEN_TESTS_SUPPORT_TEMP_FOLDER_H_
#define KEELHAVEN_TESTS_SUPPORT_TEMP_FOLDER_H_

#include <string>

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Full path, without a trailing backslash.
  const std::wstring& path() const { return path_; }
  // path() + "\" + name.
  std::wstring Join(const std::wstring& name) const;

 private:
  std::wstring path_;
};

#endif  // KEELHAVEN_TESTS_SUPPORT_TEMP_FOLDER_H_
