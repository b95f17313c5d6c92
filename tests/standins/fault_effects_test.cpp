// Faults acted out by the built tools, observed as a caller of the tools
// sees them.
#include <gtest/gtest.h>

#include <string>

#include "standin_fixture.h"
#include "standins/wireguard/fault_plan.h"

namespace {

using FaultEffectsTest = StandinTest;

// One command line per fault command, each of which would succeed.
struct Command {
  const char* fault_word;
  bool wg;
  const wchar_t* arguments;
};

TEST_F(FaultEffectsTest, ExitReplacesTheWorkOfItsCommandOnly) {
  Install(L"Keelhaven");
  const Command commands[] = {
      {"install", false, L"/installtunnelservice Z:\\unused\\Second.conf"},
      {"uninstall", false, L"/uninstalltunnelservice Keelhaven"},
      {"show", true, L"show Keelhaven"},
      {"dump", true, L"show Keelhaven dump"},
  };
  for (const Command& command : commands) {
    SCOPED_TRACE(command.fault_word);
    tools_.SetFaults(std::string(command.fault_word) + " exit=-1\n");
    const ChildRun run =
        command.wg ? Wg(command.arguments) : Wireguard(command.arguments);
    EXPECT_EQ(run.exit_code, 4294967295u);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
  }
  // Nothing was done: Keelhaven is installed with no dump counted, and
  // the other faults do not touch wg.exe's show.
  tools_.SetFaults("install exit=5\nuninstall exit=5\ndump exit=5\n");
  const ChildRun show = Wg(L"show Keelhaven");
  EXPECT_EQ(show.exit_code, 0u);
  EXPECT_NE(show.out.find("transfer: 0 B received, 0 B sent"),
            std::string::npos);
}

TEST_F(FaultEffectsTest, AppliesAtEveryCallUntilRemoved) {
  Install(L"Keelhaven");
  tools_.SetFaults("show exit=4 stdout=78\n");
  for (int call = 0; call < 2; ++call) {
    const ChildRun run = Wg(L"show Keelhaven");
    EXPECT_EQ(run.exit_code, 4u);
    EXPECT_EQ(run.out, "x");
  }
  tools_.SetFaults("");
  EXPECT_EQ(Wg(L"show Keelhaven").exit_code, 0u);
}

TEST_F(FaultEffectsTest, WritesBytesThenDoesTheNormalWork) {
  tools_.SetFaults("dump stdout=68690d0a stderr=00ff\n");
  const ChildRun run = Wg(L"show Keelhaven dump");
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(run.out, "hi\r\n");
  EXPECT_EQ(run.err, std::string("\0\xff", 2) + kNoInterface);
}

TEST_F(FaultEffectsTest, CloseOutputEndsThePipesWhileTheToolRuns) {
  // What is written after the close is lost.
  tools_.SetFaults("install close_output=1 stdout=41 exit=7\n");
  const ChildRun run =
      Wireguard(L"/installtunnelservice Z:\\unused\\Keelhaven.conf");
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_code, 7u);
  EXPECT_EQ(run.out, "");

  tools_.SetFaults("install close_output=1 hang=1\n");
  const ChildRun hung =
      Wireguard(L"/installtunnelservice Z:\\unused\\Keelhaven.conf", 1000);
  EXPECT_TRUE(hung.timed_out);
  EXPECT_TRUE(hung.output_closed_before_exit);
}

TEST_F(FaultEffectsTest, GrandchildKeepsTheOutputOpenAfterTheToolExits) {
  Install(L"Keelhaven");
  tools_.SetFaults("dump stdout=41 grandchild_ms=2000 exit=0\n");
  const ChildRun run = Wg(L"show Keelhaven dump");
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.out, "A");
  EXPECT_TRUE(run.output_open_after_exit);
  EXPECT_TRUE(run.output_ended);  // once the grandchild has gone

  // Without the fault the pipes end with the tool.
  tools_.SetFaults("");
  const ChildRun plain = Wg(L"show Keelhaven dump");
  EXPECT_EQ(plain.exit_code, 0u);
  EXPECT_FALSE(plain.output_open_after_exit);
}

}  // namespace
