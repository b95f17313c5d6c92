// Files and folders as the tests make, read and remove them.
#ifndef KEELHAVEN_TESTS_SUPPORT_FILES_H_
#define KEELHAVEN_TESTS_SUPPORT_FILES_H_

#include <functional>
#include <string>

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

#endif  // KEELHAVEN_TESTS_SUPPORT_FILES_H_
