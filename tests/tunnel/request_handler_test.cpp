// The tunnel channel's methods end to end: real configuration files, the
// stand-in WireGuard tools as real child processes, replies as the bytes
// that go back to the user interface.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/standard_method_codec.h"
#include "standins/common/text.h"
#include "standins/wireguard/tunnel_service.h"
#include "tests/support/files.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tunnel_fixture.h"
#include "tests/support/wine.h"
#include "util/native_log.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using Bytes = std::vector<uint8_t>;

Bytes ErrorBytes(const std::string& code, const std::string& message) {
  return *flutter::StandardMethodCodec::GetInstance().EncodeErrorEnvelope(
      code, message, nullptr);
}

// What one call produced.
struct Outcome : MethodReply {
  std::vector<std::string> messages;  // native log lines, in order
};

class RequestHandlerTest : public testing::Test, public TunnelFixture {
 protected:
  Outcome Call(const std::string& method,
               std::unique_ptr<EncodableValue> args = nullptr) {
    LogCapture capture;
    Outcome outcome{CallTunnelMethod(controller_, method, std::move(args)), {}};
    outcome.messages = NativeMessages(capture.Finish());
    EXPECT_EQ(outcome.replies, 1) << method;
    return outcome;
  }

  Outcome Establish(const EncodableValue& args) {
    return Call("establishTunnel", std::make_unique<EncodableValue>(args));
  }

  static bool Has(const Outcome& outcome, const std::string& prefix) {
    return HasMessageStartingWith(outcome.messages, prefix);
  }

  TunnelController controller_{System()};
};

Bytes StatsBytes(int64_t down, int64_t up) {
  const EncodableValue stats(EncodableMap{
      {EncodableValue("bytesUp"), EncodableValue(up)},
      {EncodableValue("bytesDown"), EncodableValue(down)},
  });
  return *flutter::StandardMethodCodec::GetInstance().EncodeSuccessEnvelope(
      &stats);
}

TEST_F(RequestHandlerTest, EstablishBringsTheTunnelUp) {
  const Outcome outcome = Establish(EstablishParameters());
  EXPECT_EQ(outcome.bytes, Bytes({0x00, 0x00}));
  EXPECT_TRUE(controller_.tunnel_active());
  EXPECT_EQ(controller_.config_path(), ConfigPath());
  EXPECT_TRUE(FileExists(ConfigPath()));
  EXPECT_TRUE(wireguard.IsInstalled(L"Keelhaven"));
  EXPECT_EQ(sleeper.waits(), std::vector<uint32_t>{2000});
  EXPECT_EQ(First(outcome.messages, 2),
            (std::vector<std::string>{"MethodChannel call: establishTunnel",
                                      "Keys: clientPubKey=" + kTestClientKey +
                                          ", serverPubKey=" + kTestServerKey}));
  EXPECT_TRUE(Has(outcome, "Writing config. Endpoint: " + kTestEndpoint +
                               ", Address: 10.8.0.2/32, DNS: 1.1.1.1"));
  EXPECT_EQ(outcome.messages.back(),
            "Tunnel established successfully via WireGuard CLI");
}

// Fallbacks, the key line, the tool lookup and the write line come in this
// order, before the configuration file's own lines (an empty DNS draws no
// warning of its own); the address is logged as received, here empty. The
// client key stands in for the server's, in the file too.
TEST_F(RequestHandlerTest, EstablishLogsItsStepsInOrder) {
  EncodableMap params = EstablishParameters();
  params.erase(EncodableValue("serverPublicKey"));
  params.erase(EncodableValue("address"));
  params[EncodableValue("dns")] = EncodableValue("");
  const Outcome outcome = Establish(params);
  EXPECT_EQ(outcome.bytes, Bytes({0x00, 0x00}));
  const std::vector<std::string> expected = {
      "MethodChannel call: establishTunnel",
      "serverPublicKey not provided, falling back to publicKey",
      "DNS empty, defaulting to: 1.1.1.1, 1.0.0.1",
      "Keys: clientPubKey=" + kTestClientKey +
          ", serverPubKey=" + kTestClientKey,
      "Found wireguard.exe at: " +
          WideToUtf8(wireguard.install_folder() + L"\\wireguard.exe"),
      "Writing config. Endpoint: " + kTestEndpoint +
          ", Address: , DNS: 1.1.1.1, 1.0.0.1",
      "WARNING: No tunnel address \xE2\x80\x94 using fallback: 10.8.0.2/24",
      "======== WireGuard Config ========",
  };
  EXPECT_EQ(First(outcome.messages, expected.size()), expected);
  const std::string file = ReadWholeFile(ConfigPath());
  EXPECT_NE(file.find("PublicKey = " + kTestClientKey + "\r\n"),
            std::string::npos);
  EXPECT_NE(file.find("DNS = 1.1.1.1, 1.0.0.1\r\n"), std::string::npos);
}

TEST_F(RequestHandlerTest, EstablishWhileActiveTearsDownAndPausesFirst) {
  ASSERT_EQ(Establish(EstablishParameters()).bytes, Bytes({0x00, 0x00}));
  const Outcome outcome = Establish(EstablishParameters(kTestOtherPrivateKey));
  EXPECT_EQ(outcome.bytes, Bytes({0x00, 0x00}));
  EXPECT_TRUE(Has(outcome, "Tunnel already active, tearing down first"));
  EXPECT_TRUE(Has(outcome, "Tunnel service uninstalled successfully"));
  EXPECT_EQ(sleeper.waits(), (std::vector<uint32_t>{2000, 1000, 2000}));
  EXPECT_TRUE(controller_.tunnel_active());
  EXPECT_NE(ReadWholeFile(ConfigPath()).find(kTestOtherPrivateKey),
            std::string::npos);
}

TEST_F(RequestHandlerTest, EstablishWhileActiveAfterWireGuardWasRemoved) {
  ASSERT_EQ(Establish(EstablishParameters()).bytes, Bytes({0x00, 0x00}));
  wireguard.RemoveTool(L"wireguard.exe");
  const Outcome outcome = Establish(EstablishParameters());
  EXPECT_EQ(outcome.bytes,
            ErrorBytes("WIREGUARD_NOT_INSTALLED",
                       "WireGuard for Windows is not installed. Please install "
                       "it from https://www.wireguard.com/install/"));
  EXPECT_TRUE(Has(outcome, "Tunnel already active, tearing down first"));
  EXPECT_EQ(sleeper.waits(), (std::vector<uint32_t>{2000, 1000}));
  EXPECT_FALSE(controller_.tunnel_active());
  // WireGuard could not remove the service: the service manager did.
  EXPECT_TRUE(Has(outcome,
                  "WARNING: The tunnel service is still installed; "
                  "removing it through the service manager"));
  EXPECT_FALSE(TunnelServiceRegistered(L"Keelhaven"));
  EXPECT_FALSE(controller_.tunnel_may_be_up());
  EXPECT_TRUE(controller_.config_path().empty());
  EXPECT_FALSE(FileExists(ConfigPath()));
}

TEST_F(RequestHandlerTest, ConfigWriteFailureLeavesTheTunnelDown) {
  const std::wstring folder = ConfigFolder();
  TempFolder elsewhere;
  const struct {
    const char* name;
    std::wstring blocked;  // a folder made here stops the write
  } cases[] = {
      {"a folder where the file should be", ConfigPath()},
      // Refused before anything is written: Wine follows the link, so it
      // can't be moved aside as itself.
      {"a link where the folder should be", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteTree(folder);
    if (c.blocked.empty()) {
      if (!MakeSymbolicLink(folder, elsewhere.path())) continue;
    } else {
      ASSERT_TRUE(TakeConfigFolder());
      ASSERT_TRUE(::CreateDirectoryW(c.blocked.c_str(), nullptr));
    }
    const Outcome outcome = Establish(EstablishParameters());
    EXPECT_EQ(outcome.bytes,
              ErrorBytes("CONFIG_WRITE_FAILED",
                         "Failed to write WireGuard config file"));
    EXPECT_FALSE(controller_.tunnel_active());
    EXPECT_TRUE(controller_.config_path().empty());
    EXPECT_FALSE(wireguard.IsInstalled(L"Keelhaven"));
  }
}

TEST_F(RequestHandlerTest, InstallFailureDeletesTheNewFile) {
  wireguard.SetFaults(
      "install exit=1 stderr=6e6f2061636365737321\n");  // "no access!"
  const Outcome outcome = Establish(EstablishParameters());
  EXPECT_EQ(outcome.bytes,
            ErrorBytes("TUNNEL_START_FAILED",
                       "wireguard.exe /installtunnelservice failed (exit code: "
                       "1) \xE2\x80\x94 no access!"));
  EXPECT_FALSE(controller_.tunnel_active());
  EXPECT_TRUE(controller_.config_path().empty());
  EXPECT_FALSE(FileExists(ConfigPath()));
  // The service the install may have left goes too, after the key.
  const auto deleted =
      std::find(outcome.messages.begin(), outcome.messages.end(),
                "Config file deleted: " + WideToUtf8(ConfigPath()));
  ASSERT_NE(deleted, outcome.messages.end());
  EXPECT_EQ(*(deleted + 1), "Found wireguard.exe at: " +
                                WideToUtf8(wireguard.Tool(L"wireguard.exe")));
  EXPECT_EQ(*(deleted + 2), "Running: " + WideToUtf8(RemoveCommand()));
  EXPECT_FALSE(controller_.tunnel_may_be_up());
}

// A request the reader refuses changes nothing: the tunnel that is up stays
// up with its file, and no command runs.
TEST_F(RequestHandlerTest, RefusedRequestsChangeNothing) {
  ASSERT_EQ(Establish(EstablishParameters()).bytes, Bytes({0x00, 0x00}));
  const std::string original = ReadWholeFile(ConfigPath());
  EncodableMap blank_key = EstablishParameters(" \t ");
  EncodableMap line_break = EstablishParameters();
  line_break[EncodableValue("dns")] = EncodableValue("1.1.1.1\r\nPostUp = x");
  const struct {
    const char* name;
    EncodableValue args;
    std::string code, message;
  } cases[] = {
      {"not a map", EncodableValue("privateKey=abc"), "INVALID_ARGUMENTS",
       "establishTunnel requires a map of config params"},
      {"private key of blanks", EncodableValue(blank_key), "INVALID_CONFIG",
       "privateKey, serverPublicKey, and endpoint are required"},
      {"line break", EncodableValue(line_break), "INVALID_CONFIG",
       "Config values must not contain line breaks or NUL characters"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = Establish(c.args);
    EXPECT_EQ(outcome.bytes, ErrorBytes(c.code, c.message));
    EXPECT_EQ(outcome.messages,
              std::vector<std::string>{"MethodChannel call: establishTunnel"});
    EXPECT_TRUE(controller_.tunnel_active());
    EXPECT_EQ(ReadWholeFile(ConfigPath()), original);
  }
}

TEST_F(RequestHandlerTest, TearDownAlwaysSucceeds) {
  Outcome outcome = Call("tearDownTunnel");
  EXPECT_EQ(outcome.bytes, Bytes({0x00, 0x00}));
  EXPECT_EQ(outcome.messages[1],
            "tearDown: no active tunnel (cleaning up anyway)");
  EXPECT_TRUE(Has(outcome, "Running: "));  // removal still tried
  EXPECT_EQ(outcome.messages.back(), "Tunnel torn down");

  ASSERT_EQ(Establish(EstablishParameters()).bytes, Bytes({0x00, 0x00}));
  outcome =
      Call("tearDownTunnel", std::make_unique<EncodableValue>(int32_t{7}));
  EXPECT_EQ(outcome.bytes, Bytes({0x00, 0x00}));
  EXPECT_FALSE(Has(outcome, "tearDown: no active tunnel"));
  EXPECT_TRUE(Has(outcome, "Tunnel service uninstalled successfully"));
  EXPECT_FALSE(controller_.tunnel_active());
  EXPECT_FALSE(wireguard.IsInstalled(L"Keelhaven"));
  EXPECT_FALSE(FileExists(ConfigPath()));
}

TEST_F(RequestHandlerTest, StatsReadTheDumpCountersAndHideTheKey) {
  Outcome outcome = Call("getTunnelStats");
  EXPECT_EQ(outcome.bytes, StatsBytes(0, 0));
  EXPECT_FALSE(Has(outcome, "Running: "));

  ASSERT_EQ(Establish(EstablishParameters()).bytes, Bytes({0x00, 0x00}));
  outcome = Call("getTunnelStats");
  // {bytesDown: 4096, bytesUp: 1024}: bytes down first, 64-bit values.
  EXPECT_EQ(outcome.bytes,
            ::Bytes("00 0d 02"
                    "07 09 6279746573446f776e 04 0010000000000000"
                    "07 07 62797465735570 04 0004000000000000"));
  EXPECT_TRUE(Has(outcome, "Process output: (hidden)\t"));
  outcome = Call("getTunnelStats");
  EXPECT_EQ(outcome.bytes, StatsBytes(8192, 2048));
  EXPECT_TRUE(controller_.tunnel_active());

  // Standard error first and a preshared key: the program's log scan fails
  // when the key shows.
  const std::string dump = "Warning: slow\n" + kTestPrivateKey + "\t" +
                           kTestClientKey + "\t51820\toff\n" + kTestServerKey +
                           "\t" + kTestPresharedKey + "\t" + kTestEndpoint +
                           "\t0.0.0.0/0\t0\t812\t377\t25\n";
  wireguard.SetFaults("dump exit=0 stdout=" + ToHex(dump) + "\n");
  outcome = Call("getTunnelStats");
  EXPECT_EQ(outcome.bytes, StatsBytes(812, 377));
  EXPECT_TRUE(Has(outcome, "Process output: Warning: slow"));
}

// A failed or timed-out statistics read answers zero counters with the
// warning, and the next read runs nothing; but the tunnel may still be up,
// so closing the window still takes it down.
TEST_F(RequestHandlerTest, FailedStatsReadStillLeavesTheTunnelToTakeDown) {
  const char* faults[] = {"dump exit=1\n", "dump hang=1\n"};
  for (const char* fault : faults) {
    SCOPED_TRACE(fault);
    wireguard.SetFaults("");
    ASSERT_EQ(Establish(EstablishParameters()).bytes, Bytes({0x00, 0x00}));
    wireguard.SetFaults(fault);
    Outcome outcome = Call("getTunnelStats");
    EXPECT_EQ(outcome.bytes, StatsBytes(0, 0));
    EXPECT_TRUE(Has(outcome,
                    "WARNING: wg show failed \xE2\x80\x94 tunnel may be down"));
    EXPECT_TRUE(wireguard.IsInstalled(L"Keelhaven"));
    EXPECT_TRUE(FileExists(ConfigPath()));
    outcome = Call("getTunnelStats");
    EXPECT_EQ(outcome.bytes, StatsBytes(0, 0));
    EXPECT_FALSE(Has(outcome, "Running: "));

    EXPECT_TRUE(controller_.tunnel_may_be_up());
    LogCapture capture;
    controller_.OnWindowDestroyed();
    EXPECT_TRUE(HasMessageStartingWith(NativeMessages(capture.Finish()),
                                       "Tunnel service uninstalled "
                                       "successfully"));
    EXPECT_FALSE(wireguard.IsInstalled(L"Keelhaven"));
    EXPECT_FALSE(FileExists(ConfigPath()));
    EXPECT_FALSE(controller_.tunnel_may_be_up());
  }
}

TEST_F(RequestHandlerTest, OtherMethodNamesAreNotImplemented) {
  for (const char* method : {"EstablishTunnel", "establishTunnel ", "",
                             "getTunnelStats\t", "ping"}) {
    SCOPED_TRACE(method);
    const Outcome outcome =
        Call(method, std::make_unique<EncodableValue>(EstablishParameters()));
    EXPECT_TRUE(outcome.empty);
    EXPECT_EQ(
        outcome.messages,
        (std::vector<std::string>{std::string("MethodChannel call: ") + method,
                                  std::string("Unknown method: ") + method}));
  }
  EXPECT_FALSE(controller_.tunnel_active());
}

}  // namespace
