#include "standins/wireguard/fault_plan.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(FindFaultTest, ReadsEveryKey) {
  const std::optional<Fault> fault = FindFault(
      "dump exit=3 stdout=68690D0a stderr=00ff hang=1 "
      "close_output=1 bytes=100000 grandchild_ms=0\n",
      FaultCommand::kDump);
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->exit_code, 3u);
  EXPECT_EQ(fault->stdout_bytes, "hi\r\n");
  EXPECT_EQ(fault->stderr_bytes, std::string("\0\xff", 2));
  EXPECT_TRUE(fault->hang);
  EXPECT_TRUE(fault->close_output);
  EXPECT_EQ(fault->pattern_bytes, 100000u);
  EXPECT_EQ(fault->grandchild_ms, 0u);
}

TEST(FindFaultTest, AnEmptyLineOfACommandIsAFaultThatChangesNothing) {
  const std::optional<Fault> fault = FindFault("show", FaultCommand::kShow);
  ASSERT_TRUE(fault.has_value());
  EXPECT_FALSE(fault->exit_code.has_value());
  EXPECT_FALSE(fault->grandchild_ms.has_value());
  EXPECT_FALSE(fault->hang || fault->close_output);
  EXPECT_EQ(fault->pattern_bytes, 0u);
}

TEST(FindFaultTest, PicksTheLineOfTheCommand) {
  const char plan[] =
      "# comment: dump exit=9\r\n"
      "install exit=1\r\n"
      "  uninstall\texit=2  \r\n"
      "\r\n"
      "show exit=3\r\n"
      "dump exit=4\r\n"
      "dump exit=5";  // the last valid line of a command holds
  EXPECT_EQ(FindFault(plan, FaultCommand::kInstall)->exit_code, 1u);
  EXPECT_EQ(FindFault(plan, FaultCommand::kUninstall)->exit_code, 2u);
  EXPECT_EQ(FindFault(plan, FaultCommand::kShow)->exit_code, 3u);
  EXPECT_EQ(FindFault(plan, FaultCommand::kDump)->exit_code, 5u);
  EXPECT_FALSE(FindFault("show exit=3", FaultCommand::kDump).has_value());
}

TEST(FindFaultTest, ExitCodesAreSignedOrUnsigned32Bits) {
  struct Case {
    const char* value;
    std::optional<uint32_t> code;
  };
  const Case cases[] = {
      {"0", 0u},
      {"-1", 4294967295u},
      {"4294967294", 4294967294u},
      {"-2147483648", 2147483648u},
      {"-2147483649", std::nullopt},
      {"4294967296", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const std::optional<Fault> fault =
        FindFault(std::string("dump exit=") + c.value, FaultCommand::kDump);
    EXPECT_EQ(fault ? fault->exit_code : std::nullopt, c.code);
  }
}

TEST(FindFaultTest, IgnoresMalformedLinesWhole) {
  const char* const lines[] = {
      "dump exit=abc",
      "dump exit",
      "dump exit=",
      "dump =3",
      "dump exit=3 colour=red",
      "dump Exit=3",
      "Dump exit=3",
      "dumpexit=3",
      "dump exit = 3",
      "dump stdout=4",
      "dump stdout=zz",
      "dump hang=2",
      "dump hang=yes",
      "dump close_output=",
      "dump delay_ms=50",
      "dump grandchild_ms=-1",
      "dump grandchild_ms=600001",
      "dump bytes=67108865",
      "dump bytes=1e3",
      "dump exit=99999999999999999999999999",
      "#dump exit=3",
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    EXPECT_FALSE(FindFault(line, FaultCommand::kDump).has_value());
    // A malformed line does not hide a good one before it.
    const std::optional<Fault> fault = FindFault(
        std::string("dump exit=7\n") + line + "\n", FaultCommand::kDump);
    ASSERT_TRUE(fault.has_value());
    EXPECT_EQ(fault->exit_code, 7u);
  }
}

TEST(FindFaultTest, LimitsAreInclusive) {
  const std::optional<Fault> fault = FindFault(
      "dump grandchild_ms=600000 bytes=67108864", FaultCommand::kDump);
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->grandchild_ms, 600000u);
  EXPECT_EQ(fault->pattern_bytes, 67108864u);
}

TEST(FindFaultTest, IgnoresAnOversizedPlanWhole) {
  std::string plan = "dump exit=3\n";
  plan += std::string(kMaxFaultFileBytes - plan.size(), '#');
  EXPECT_TRUE(FindFault(plan, FaultCommand::kDump).has_value());
  plan += "#";
  EXPECT_FALSE(FindFault(plan, FaultCommand::kDump).has_value());
}

}  // namespace
