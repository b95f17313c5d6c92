#include "tests/support/log_capture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>

#include <cstdio>
#include <iostream>

#include "tests/support/files.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_keys.h"

namespace {

// Everything any capture of this test program saw.
std::string& AllCaptured() {
  static std::string* captured = new std::string();
  return *captured;
}

// Fails the program when a secret key of the tests reached the log.
class NoPrivateKeyInLogs : public testing::Environment {
 public:
  void TearDown() override {
    for (const std::string* key :
         {&kTestPrivateKey, &kTestOtherPrivateKey, &kTestPresharedKey}) {
      EXPECT_EQ(AllCaptured().find(*key), std::string::npos)
          << "a secret key was logged: " << *key;
    }
  }
};

testing::Environment* const kNoPrivateKeyInLogs =
    testing::AddGlobalTestEnvironment(new NoPrivateKeyInLogs);

}  // namespace

// Descriptor 2 points at a file of its own while the capture runs; the file
// is read back raw, so every byte (a carriage return included) is seen as
// written.
LogCapture::LogCapture() : folder_(std::make_unique<TempFolder>()) {
  std::cerr.flush();
  std::fflush(stderr);
  saved_descriptor_ = _dup(2);
  const int file = _wopen(folder_->Join(L"stderr.bin").c_str(),
                          _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0600);
  _dup2(file, 2);
  _close(file);
}

LogCapture::~LogCapture() { Finish(); }

const std::string& LogCapture::Finish() {
  if (!finished_) {
    finished_ = true;
    std::cerr.flush();
    std::fflush(stderr);
    _dup2(saved_descriptor_, 2);
    _close(saved_descriptor_);
    text_ = ReadWholeFile(folder_->Join(L"stderr.bin"));
    AllCaptured() += text_;
  }
  return text_;
}
