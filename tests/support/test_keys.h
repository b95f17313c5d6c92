// Keys the tunnel tests put into requests, configuration files and dumps,
// and the configuration file the host writes. The private and preshared
// keys must never show up in a log line: every captured log of a test
// program is checked for them when the program ends.
#ifndef KEELHAVEN_TESTS_SUPPORT_TEST_KEYS_H_
#define KEELHAVEN_TESTS_SUPPORT_TEST_KEYS_H_

#include <string>

// 44-character keys, as WireGuard prints them.
inline const std::string kTestPrivateKey =
    "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=";
inline const std::string kTestOtherPrivateKey =
    "QNtbObUEnp7Si7R5hPrhShH5uVhbjF9g0ueYkNRWfFw=";
inline const std::string kTestPresharedKey =
    "FpCyhws9cxwWoV4xELtfJvjJN+zQVRPISllRWgeopVE=";
inline const std::string kTestClientKey =
    "xTIBA5rboUvnH4htodjb6e697QjLERt1NAB4mZqp8Dg=";
inline const std::string kTestServerKey =
    "HIgo9xNzJMWLKASShiTqIybxZ0U3wGLiUeJ1PKf8ykw=";
inline const std::string kTestEndpoint = "203.0.113.7:51820";  // 17 characters

// The host's configuration file, byte for byte; the defaults are the
// host's fallbacks for the address, DNS and allowed IPs.
inline std::string ConfigText(
    const std::string& private_key = kTestPrivateKey,
    const std::string& server_key = kTestServerKey,
    const std::string& endpoint = kTestEndpoint,
    const std::string& address = "10.8.0.2/24",
    const std::string& dns = "1.1.1.1, 1.0.0.1",
    const std::string& allowed_ips = "0.0.0.0/0, ::/0") {
  return "[Interface]\r\nPrivateKey = " + private_key +
         "\r\nAddress = " + address + "\r\nDNS = " + dns +
         "\r\n\r\n[Peer]\r\nPublicKey = " + server_key +
         "\r\nEndpoint = " + endpoint + "\r\nAllowedIPs = " + allowed_ips +
         "\r\nPersistentKeepalive = 25\r\n";
}

#endif  // KEELHAVEN_TESTS_SUPPORT_TEST_KEYS_H_
