// Removing the configuration folder for the installer: what goes, what
// stays, and that nothing below the folder is entered.
#include "shell/folder_removal.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/support/files.h"
#include "tests/support/temp_folder.h"
#include "util/windows_include.h"

namespace {

TEST(RemoveFolderNoFollowTest, RemovesFilesAndEmptyFoldersOnly) {
  struct Row {
    const char* name;
    // Fills the folder (its path given); false when it couldn't.
    std::function<bool(const std::wstring&)> fill;
    FolderRemoval outcome;
    size_t entries_left;
    // A file that must still be there afterwards ("" for none).
    std::wstring kept;
  };
  const auto file = [](const std::wstring& path) {
    return WriteWholeFile(path, "line\r\n");
  };
  const Row rows[] = {
      {"files, a read-only one and an empty folder",
       [&](const std::wstring& folder) {
         return file(folder + L"\\keelhaven.log") &&
                file(folder + L"\\keelhaven.log.1") &&
                file(folder + L"\\Keelhaven.conf") &&
                ::SetFileAttributesW((folder + L"\\Keelhaven.conf").c_str(),
                                     FILE_ATTRIBUTE_READONLY) &&
                CreateFolders(folder + L"\\empty");
       },
       FolderRemoval::kRemoved, 0, L""},
      {"a folder with a file: never entered",
       [&](const std::wstring& folder) {
         return file(folder + L"\\keelhaven.log") &&
                CreateFolders(folder + L"\\other") &&
                file(folder + L"\\other\\kept.txt");
       },
       FolderRemoval::kEntriesLeft, 1, L"other\\kept.txt"},
      {"no folder", nullptr, FolderRemoval::kAbsent, 0, L""},
      {"a file in the folder's place",
       [&](const std::wstring& folder) {
         return ::RemoveDirectoryW(folder.c_str()) && file(folder);
       },
       FolderRemoval::kRefused, 0, L""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder root;
    const std::wstring folder = root.Join(L"Keelhaven");
    if (row.fill) {
      ASSERT_TRUE(CreateFolders(folder));
      ASSERT_TRUE(row.fill(folder));
    }
    const FolderRemovalResult result = RemoveFolderNoFollow(folder);
    EXPECT_EQ(result.outcome, row.outcome);
    EXPECT_EQ(result.entries_left, row.entries_left);
    EXPECT_EQ(FileExists(folder), row.outcome != FolderRemoval::kRemoved &&
                                      row.outcome != FolderRemoval::kAbsent);
    if (!row.kept.empty()) {
      EXPECT_EQ(ReadWholeFile(folder + L"\\" + row.kept), "line\r\n");
      EXPECT_FALSE(FileExists(folder + L"\\keelhaven.log"));
    }
  }
}

}  // namespace
