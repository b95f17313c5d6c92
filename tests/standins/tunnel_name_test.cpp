#include "standins/wireguard/tunnel_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TunnelNameTest, NameOfAConfigPathIsTheFileNameWithoutConf) {
  struct Case {
    std::wstring path;
    bool ends_in_conf;
    std::wstring name;
  };
  const Case cases[] = {
      {L"C:\\ProgramData\\Keelhaven\\Keelhaven.conf", true, L"Keelhaven"},
      {L"Z:/tmp/wg0.conf", true, L"wg0"},
      {L"C:\\dir.conf\\Mixed.CoNf", true, L"Mixed"},
      {L"Keelhaven.conf", true, L"Keelhaven"},
      {L"C:\\x\\.conf", true, L""},
      {L".conf", true, L""},
      {L"C:\\x\\Keelhaven.conf.dpapi", false, L""},
      {L"C:\\x\\Keelhaven.txt", false, L""},
      {L"C:\\x\\Keelhaven.conf ", false, L""},
      {L"conf", false, L""},
      {L"", false, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.path));
    std::wstring name = L"untouched";
    EXPECT_EQ(TunnelNameFromConfigPath(c.path, &name), c.ends_in_conf);
    EXPECT_EQ(name, c.ends_in_conf ? c.name : L"untouched");
  }
}

}  // namespace
