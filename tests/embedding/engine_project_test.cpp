#include "embedding/engine_project.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace flutter {
namespace {

TEST(EngineProjectTest, JoinsTheBasePathAndEachSuffixAsTheyAre) {
  struct Case {
    std::wstring base;
    std::wstring assets;
    std::wstring icu;
    std::wstring aot;
  };
  const Case cases[] = {
      {L"data", L"data\\flutter_assets", L"data\\icudtl.dat", L"data\\app.so"},
      // No separator handling: a trailing backslash is doubled.
      {L"C:\\app\\", L"C:\\app\\\\flutter_assets", L"C:\\app\\\\icudtl.dat",
       L"C:\\app\\\\app.so"},
      {L"", L"\\flutter_assets", L"\\icudtl.dat", L"\\app.so"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.base.begin(), c.base.end()));
    const EngineProject project(c.base);
    EXPECT_EQ(project.assets_path(), c.assets);
    EXPECT_EQ(project.icu_data_path(), c.icu);
    EXPECT_EQ(project.aot_library_path(), c.aot);
  }
}

TEST(EngineProjectTest, StartsWithDefaultsAndTakesArguments) {
  EngineProject project(L"data");
  EXPECT_EQ(project.dart_entrypoint(), "");
  EXPECT_TRUE(project.dart_entrypoint_arguments().empty());
  EXPECT_EQ(project.engine_option_1(), 0);
  EXPECT_EQ(project.engine_option_2(), 0);

  project.SetEntrypointArguments({"a", "b"});
  project.SetEntrypointArguments({"c"});
  EXPECT_EQ(project.dart_entrypoint_arguments(), std::vector<std::string>{"c"});

  // The host window keeps a copy of the project.
  const EngineProject copy = project;
  EXPECT_EQ(copy.dart_entrypoint_arguments(), std::vector<std::string>{"c"});
  EXPECT_EQ(copy.assets_path(), L"data\\flutter_assets");
}

}  // namespace
}  // namespace flutter
