// Whole-file reads and writes of the stand-in tools, bounded in size.
#ifndef KEELHAVEN_STANDINS_WIREGUARD_FILE_IO_H_
#define KEELHAVEN_STANDINS_WIREGUARD_FILE_IO_H_

#include <cstddef>
#include <string>
#include <string_view>

enum class ReadStatus { kOk, kMissing, kTooLarge, kFailed };

// Reads the whole file into `contents` when it holds at most `max_bytes`;
// a larger file is not read at all. `contents` is set only on kOk.
ReadStatus ReadSmallFile(const std::wstring& path, size_t max_bytes,
                         std::string* contents);

enum class WriteStatus { kOk, kExists, kFailed };

// Writes `bytes` as the whole file. With `must_be_new` an existing file is
// left alone and kExists given; otherwise it is replaced. A failed write
// leaves no file behind.
WriteStatus WriteWholeFile(const std::wstring& path, std::string_view bytes,
                           bool must_be_new);

// Creates the folder and any missing parents; true when it exists after.
bool CreateFolderTree(const std::wstring& path);

#endif  // KEELHAVEN_STANDINS_WIREGUARD_FILE_IO_H_
