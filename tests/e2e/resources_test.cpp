// The resources built into keelhaven.exe, read back from the bundle's copy:
// the manifest and the application icon.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/host_process.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

// The bytes of one resource of the executable; empty when it is missing.
std::string ReadResource(HMODULE module, const wchar_t* name,
                         const wchar_t* type) {
  const HRSRC found = ::FindResourceW(module, name, type);
  if (!found) return std::string();
  const HGLOBAL loaded = ::LoadResource(module, found);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data) return std::string();
  return std::string(static_cast<const char*>(data),
                     ::SizeofResource(module, found));
}

class ExecutableResources : public testing::Test {
 protected:
  void SetUp() override {
    module_.reset(::LoadLibraryExW(HostExecutable().c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module_) << "cannot open " << ::GetLastError();
  }
  UniqueModule module_;
};

// The text of the first attribute `name`="..." after `element`.
std::string Attribute(const std::string& xml, const std::string& element,
                      const std::string& name) {
  const size_t start = xml.find("<" + element);
  if (start == std::string::npos) return "<no element>";
  const size_t end = xml.find('>', start);
  const size_t at = xml.find(" " + name + "=\"", start);
  if (at == std::string::npos || at > end) return "<no attribute>";
  const size_t value = at + name.size() + 3;
  return xml.substr(value, xml.find('"', value) - value);
}

// The text content of the first `element`.
std::string Content(const std::string& xml, const std::string& element) {
  const size_t start = xml.find("<" + element);
  if (start == std::string::npos) return "<no element>";
  const size_t open_end = xml.find('>', start) + 1;
  return xml.substr(open_end,
                    xml.find("</" + element + ">", open_end) - open_end);
}

TEST_F(ExecutableResources, ManifestAsksForAdministratorAndPerMonitorDpi) {
  const std::string manifest =
      ReadResource(module_.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_FALSE(manifest.empty());
  EXPECT_EQ(Attribute(manifest, "requestedExecutionLevel", "level"),
            "requireAdministrator");
  EXPECT_EQ(Attribute(manifest, "requestedExecutionLevel", "uiAccess"),
            "false");
  EXPECT_EQ(Content(manifest, "dpiAware"), "true");
  EXPECT_EQ(Content(manifest, "dpiAwareness"), "PerMonitorV2");

  std::vector<std::string> systems;
  for (size_t at = manifest.find("<supportedOS"); at != std::string::npos;
       at = manifest.find("<supportedOS", at + 1)) {
    systems.push_back(Attribute(manifest.substr(at), "supportedOS", "Id"));
  }
  const std::vector<std::string> expected = {
      "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
      "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
      "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
      "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
  };
  EXPECT_EQ(systems, expected);
}

TEST_F(ExecutableResources, IconGroupHoldsFiveSizesInFullColour) {
  const std::string group =
      ReadResource(module_.get(), MAKEINTRESOURCEW(101), RT_GROUP_ICON);
  // Header: reserved, type 1 (icon), count; then 14-byte entries: width,
  // height (0 meaning 256), colours, reserved, planes, bits per pixel,
  // byte size, icon resource id.
  ASSERT_GE(group.size(), 6u);
  const auto* bytes = reinterpret_cast<const uint8_t*>(group.data());
  auto word = [&](size_t at) { return bytes[at] | bytes[at + 1] << 8; };
  EXPECT_EQ(word(2), 1);
  const size_t count = static_cast<size_t>(word(4));
  ASSERT_EQ(group.size(), 6 + 14 * count);

  std::vector<int> sizes;
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = 6 + 14 * i;
    const int width = bytes[entry] == 0 ? 256 : bytes[entry];
    const int height = bytes[entry + 1] == 0 ? 256 : bytes[entry + 1];
    SCOPED_TRACE(testing::Message() << "icon of " << width << " px");
    EXPECT_EQ(width, height);
    EXPECT_EQ(word(entry + 6), 32) << "bits per pixel";
    const int id = word(entry + 12);
    EXPECT_FALSE(
        ReadResource(module_.get(), MAKEINTRESOURCEW(id), RT_ICON).empty());
    sizes.push_back(width);
  }
  EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48, 128, 256}));
}

}  // namespace
