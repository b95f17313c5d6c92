// Removing a folder of the host's without following any link: every entry
// is opened relative to a handle held on the folder, as what it is (a link
// as a link), and deleted through its own handle.
#ifndef KEELHAVEN_SHELL_FOLDER_REMOVAL_H_
#define KEELHAVEN_SHELL_FOLDER_REMOVAL_H_

#include <cstddef>
#include <string>

enum class FolderRemoval {
  kRemoved,      // the folder and every entry are gone
  kAbsent,       // there was no folder
  kRefused,      // the path is a link (symbolic link, junction) or no folder
  kEntriesLeft,  // some entries, and so the folder, could not be deleted
  kFailed,       // the folder could not be opened, listed or deleted
};

struct FolderRemovalResult {
  FolderRemoval outcome = FolderRemoval::kFailed;
  // Entries that stayed (kEntriesLeft).
  size_t entries_left = 0;
  // The Windows error of the first failure, 0 when none.
  unsigned long error = 0;
};

// Removes the folder at `path` with its files. Files and links in it are
// deleted (a link itself, never what it points to); a folder in it only when
// it is empty: nothing is ever entered below the folder, so no link there
// can lead the removal elsewhere. The folder itself is opened without
// following a link and refused when it is one.
FolderRemovalResult RemoveFolderNoFollow(const std::wstring& path);

#endif  // KEELHAVEN_SHELL_FOLDER_REMOVAL_H_
