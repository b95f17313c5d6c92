// The tunnel's service asked and removed through the service manager
// itself (the Wine prefix's, shared: the tests hold the tunnel lock), with
// an entry made as the stand-in wireguard.exe makes it.
#include "tunnel/service_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standins/wireguard/tunnel_service.h"
#include "tests/support/log_capture.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"

namespace {

constexpr char kName[] = "WireGuardTunnel$Keelhaven";

// An open handle to the entry keeps a deleted service in the service
// manager, marked for deletion, until it is closed.
UniqueServiceHandle OpenEntry() {
  const UniqueServiceHandle manager(
      ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  return UniqueServiceHandle(::OpenServiceW(
      manager.get(), L"WireGuardTunnel$Keelhaven", SERVICE_QUERY_STATUS));
}

TEST(ServiceManagerTest, StopsAndDeletesWhateverIsThereAndSaysEachStep) {
  const std::string not_running =
      std::string("Service ") + kName + " is not running";
  const std::string deleted = std::string("Deleted service ") + kName;
  const std::string stopped = std::string("Service ") + kName + " has stopped";
  const struct {
    const char* name;
    bool registered, held_open;
    std::vector<std::string> log;
    ServiceState after;
  } cases[] = {
      {"no service",
       false,
       false,
       {std::string("No service ") + kName + " to remove"},
       ServiceState::kAbsent},
      {"stopped service",
       true,
       false,
       {not_running, deleted, stopped},
       ServiceState::kAbsent},
      {"held open elsewhere",
       true,
       true,
       {not_running, deleted, stopped},
       ServiceState::kMarkedForDeletion},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteTunnelService(L"Keelhaven");
    ASSERT_EQ(QueryTunnelService(), ServiceState::kAbsent);
    if (c.registered) {
      ASSERT_TRUE(RegisterTunnelService(L"Keelhaven"));
      EXPECT_EQ(QueryTunnelService(), ServiceState::kStopped);
    }
    UniqueServiceHandle holder;
    if (c.held_open) holder = OpenEntry();

    LogCapture capture;
    EXPECT_TRUE(StopAndDeleteTunnelService(2000));
    EXPECT_EQ(NativeMessages(capture.Finish()), c.log);
    EXPECT_EQ(QueryTunnelService(), c.after);
    holder.reset();
    EXPECT_EQ(QueryTunnelService(), ServiceState::kAbsent);
  }
}

}  // namespace
