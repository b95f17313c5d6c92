#include "util/held_folder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/support/file_security.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wine.h"
#include "util/relative_file.h"
#include "util/windows_include.h"

namespace {

constexpr wchar_t kFileSddl[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";

std::string ReadAll(HANDLE file) {
  std::string content(4096, '\0');
  DWORD read = 0;
  if (!::ReadFile(file, &content[0], static_cast<DWORD>(content.size()), &read,
                  nullptr)) {
    return "<unreadable>";
  }
  content.resize(read);
  return content;
}

bool WriteAll(HANDLE file, const std::string& content) {
  DWORD written = 0;
  return ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()),
                     &written, nullptr) &&
         written == content.size();
}

// Wine reads a Unix symbolic link to a file as the file, so it shows no
// link; that it is there is enough.
bool MakeFileLink(const std::wstring& link, const std::wstring& target) {
  return MakeSymbolicLink(link, target) ||
         (RunningUnderWine() && FileExists(link));
}

// A held folder with a plain file in it, beside a folder of someone
// else's with a file of theirs.
class HeldFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateFolders(root_.Join(L"held")));
    ASSERT_TRUE(WriteWholeFile(root_.Join(L"held\\plain.txt"), "plain"));
    ASSERT_TRUE(CreateFolders(root_.Join(L"theirs\\inner")));
    ASSERT_TRUE(WriteWholeFile(Theirs(), "theirs"));
    folder_ = HeldFolder::OpenPath(root_.Join(L"held"));
    ASSERT_TRUE(folder_.valid()) << ::GetLastError();
  }
  void TearDown() override { folder_ = HeldFolder(); }

  std::wstring Held(const std::wstring& name) const {
    return root_.Join(L"held\\" + name);
  }
  std::wstring Theirs() const { return root_.Join(L"theirs\\theirs.txt"); }

  TempFolder root_;
  HeldFolder folder_;
};

TEST_F(HeldFolderTest, CreatesReadsRenamesAndDeletesRelativeToTheFolder) {
  const SecurityDescriptor descriptor(kFileSddl);
  // A new file, and one in place of an open one: neither keeps what was
  // there.
  for (const char* content : {"first", "second"}) {
    SCOPED_TRACE(content);
    ASSERT_TRUE(OpenToEveryone(Held(L"plain.txt")));
    UniqueFileHandle file =
        CreateFileInFolder(folder_, L"plain.txt", GENERIC_WRITE, 0, descriptor);
    ASSERT_TRUE(file) << ::GetLastError();
    ASSERT_TRUE(WriteAll(file.get(), content));
    file.reset();
    EXPECT_EQ(ReadWholeFile(Held(L"plain.txt")), content);
    ExpectClosedToEveryoneAndUsers(Held(L"plain.txt"));
  }
  {
    const UniqueFileHandle read =
        OpenFileInFolder(folder_, L"plain.txt", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(read);
    EXPECT_EQ(ReadAll(read.get()), "second");
  }

  // A rename replaces the file of the new name.
  ASSERT_TRUE(WriteWholeFile(Held(L"older.txt"), "older"));
  EXPECT_TRUE(RenameFileInFolder(folder_, L"plain.txt", L"older.txt"))
      << ::GetLastError();
  EXPECT_EQ(ReadWholeFile(Held(L"older.txt")), "second");
  EXPECT_FALSE(FileExists(Held(L"plain.txt")));

  EXPECT_TRUE(DeleteFileInFolder(folder_, L"older.txt"));
  EXPECT_FALSE(FileExists(Held(L"older.txt")));
  EXPECT_FALSE(DeleteFileInFolder(folder_, L"older.txt"));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // A folder is made only where nothing is.
  const SecurityDescriptor folder_descriptor(
      L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
  const HeldFolder sub =
      HeldFolder::CreateIn(folder_, L"sub", folder_descriptor);
  ASSERT_TRUE(sub.valid());
  EXPECT_EQ(sub.path(), Held(L"sub"));
  ExpectClosedToEveryoneAndUsers(Held(L"sub"));
  EXPECT_FALSE(HeldFolder::CreateIn(folder_, L"sub", folder_descriptor));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

// Only a name in the folder itself: no separator, no way up or out.
TEST_F(HeldFolderTest, RefusesNamesThatAreNoSingleComponent) {
  ASSERT_TRUE(CreateFolders(Held(L"sub")));
  ASSERT_TRUE(WriteWholeFile(Held(L"sub\\deeper.txt"), "deeper"));
  for (const wchar_t* name :
       {L"", L".", L"..", L"sub\\deeper.txt", L"sub/deeper.txt",
        L"..\\theirs\\theirs.txt", L"C:\\Windows\\win.ini", L"plain.txt:alt"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
    EXPECT_FALSE(OpenFileInFolder(folder_, name, GENERIC_READ, 0));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_FALSE(DeleteFileInFolder(folder_, name));
  }
  EXPECT_TRUE(FileExists(Held(L"sub\\deeper.txt")));
  EXPECT_EQ(ReadWholeFile(Theirs()), "theirs");
}

// A link in the held folder, to a file or a folder of someone else's, is
// refused by every call, and so is a path through it; what it points to
// stays as it was.
TEST_F(HeldFolderTest, NeverFollowsALinkInTheFolder) {
  if (!MakeFileLink(Held(L"file-link"), Theirs()) ||
      !MakeSymbolicLink(Held(L"folder-link"), root_.Join(L"theirs"))) {
    GTEST_SKIP() << "no symbolic link can be made here";
  }
  const SecurityDescriptor descriptor(kFileSddl);
  using Call = std::function<bool()>;
  const struct {
    const char* name;
    Call call;
  } cases[] = {
      {"open",
       [&] {
         return OpenFileInFolder(folder_, L"file-link", GENERIC_READ, 0)
             .valid();
       }},
      {"create over it",
       [&] {
         return CreateFileInFolder(folder_, L"file-link", GENERIC_WRITE, 0,
                                   descriptor)
             .valid();
       }},
      {"delete", [&] { return DeleteFileInFolder(folder_, L"file-link"); }},
      {"rename",
       [&] { return RenameFileInFolder(folder_, L"file-link", L"moved"); }},
      {"open the folder",
       [&] { return HeldFolder::OpenIn(folder_, L"folder-link").valid(); }},
      {"open the folder to move it",
       [&] {
         return HeldFolder::OpenIn(folder_, L"folder-link", kMayMove).valid();
       }},
      {"open the folder by path",
       [&] { return HeldFolder::OpenPath(Held(L"folder-link")).valid(); }},
      // Followed by Windows too, further up the path; the handle shows
      // where it led.
      {"open a folder by a path through it",
       [&] {
         return HeldFolder::OpenPath(Held(L"folder-link\\inner")).valid();
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(c.call());
    EXPECT_EQ(::GetLastError(), kLinkRefusedError);
    EXPECT_EQ(ReadWholeFile(Theirs()), "theirs");
    EXPECT_FALSE(FileExists(Held(L"moved")));
  }
}

// Held, the folder can't be renamed or removed from under its files.
TEST_F(HeldFolderTest, HeldFolderCannotBeMovedAway) {
  EXPECT_FALSE(
      ::MoveFileW(root_.Join(L"held").c_str(), root_.Join(L"swapped").c_str()));
  EXPECT_TRUE(FileExists(Held(L"plain.txt")));
  folder_ = HeldFolder();
  EXPECT_TRUE(
      ::MoveFileW(root_.Join(L"held").c_str(), root_.Join(L"swapped").c_str()));
}

}  // namespace
