#include "standins/wireguard/tunnel_config.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Expected {
  const char* private_key;
  const char* peer_public_key;
  const char* endpoint;
  const char* allowed_ips;
  bool can_come_up;
};

TEST(ParseTunnelConfigTest, ReadsTheKeysItShowsBySection) {
  struct Case {
    const char* name;
    std::string text;
    Expected expected;
  };
  const Case cases[] = {
      {"the host's file",
       "[Interface]\r\nPrivateKey = priv=\r\nAddress = 10.8.0.2/24\r\n"
       "DNS = 1.1.1.1, 1.0.0.1\r\n\r\n[Peer]\r\nPublicKey = peer=\r\n"
       "Endpoint = 203.0.113.7:51820\r\nAllowedIPs = 0.0.0.0/0, ::/0\r\n"
       "PersistentKeepalive = 25\r\n",
       {"priv=", "peer=", "203.0.113.7:51820", "0.0.0.0/0, ::/0", true}},
      {"any letter case, LF ends, blanks and comments",
       "[interface]\n\tprivatekey=priv= # mine\n# Endpoint = no\n"
       "[PEER]\n  PUBLICKEY  =  peer=  \nendpoint=e:1\n",
       {"priv=", "peer=", "e:1", "", true}},
      {"keys in the wrong section are not taken",
       "PrivateKey = early\n[Peer]\nPrivateKey = p\nPublicKey = peer\n"
       "Endpoint = e:1\n[Interface]\nPublicKey = q\nEndpoint = f:2\n",
       {"", "peer", "e:1", "", false}},
      {"only the first peer counts",
       "[Interface]\nPrivateKey = k\n[Peer]\nPublicKey = one\n"
       "AllowedIPs = 10.0.0.0/8\n[Peer]\nPublicKey = two\nEndpoint = e:2\n"
       "AllowedIPs = 0.0.0.0/0\n",
       {"k", "one", "", "10.0.0.0/8", false}},
      {"an unknown section between peers does not make a new first peer",
       "[Peer]\nPublicKey = one\n[Other]\n[Peer]\nEndpoint = e:2\n",
       {"", "one", "", "", false}},
      {"several AllowedIPs lines are joined",
       "[Peer]\nAllowedIPs = 10.0.0.0/8\nAllowedIPs =\nAllowedIPs = ::/0\n",
       {"", "", "", "10.0.0.0/8, ::/0", false}},
      {"lines without '=' and empty values",
       "[Interface]\nPrivateKey\nPrivateKey =\n[Peer]\nPublicKey = p\n"
       "Endpoint = e:1\n",
       {"", "p", "e:1", "", false}},
      {"missing endpoint",
       "[Interface]\nPrivateKey = k\n[Peer]\nPublicKey = p\n",
       {"k", "p", "", "", false}},
      {"not a configuration at all",
       std::string("\0\xff[\n=\n[[", 8),
       {"", "", "", "", false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TunnelConfig config = ParseTunnelConfig(c.text);
    EXPECT_EQ(config.private_key, c.expected.private_key);
    EXPECT_EQ(config.peer_public_key, c.expected.peer_public_key);
    EXPECT_EQ(config.endpoint, c.expected.endpoint);
    EXPECT_EQ(config.allowed_ips, c.expected.allowed_ips);
    EXPECT_EQ(config.CanComeUp(), c.expected.can_come_up);
  }
}

}  // namespace
