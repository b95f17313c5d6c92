// A fresh folder under the temporary-files folder, deleted with everything
// in it when the object goes.
#ifndef KEELHAVEN_TESTS_SUPPORT_TEMP_FOLDER_H_
#define KEELHAVEN_TESTS_SUPPORT_TEMP_FOLDER_H_

#include <functional>
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

// Calls `visit` with the name of every entry that matches `pattern` (a
// folder and a file name with wildcards), "." and ".." left out. The
// entries are listed while they are visited.
void ForEachEntry(const std::wstring& pattern,
                  const std::function<void(const std::wstring&)>& visit);

// Deletes a file or a folder tree; missing is fine. A symbolic link or
// junction, at the top or inside, is deleted itself: nothing it points to
// is touched.
void DeleteTree(const std::wstring& path);

// Creates the folder and its missing parents.
bool CreateFolders(const std::wstring& path);

// Whole content of a file; empty when it can't be read.
std::string ReadWholeFile(const std::wstring& path);
bool WriteWholeFile(const std::wstring& path, const std::string& content);
bool FileExists(const std::wstring& path);

// A path the build system gave (forward slashes) as this program sees it:
// backslashes, and a Unix path under Wine's drive Z:, which maps the Unix
// root.
std::wstring FromBuildPath(const std::string& build_path);

#endif  // KEELHAVEN_TESTS_SUPPORT_TEMP_FOLDER_H_
