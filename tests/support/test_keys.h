// Keys the tunnel tests put into requests, configuration files and dumps.
// The private and preshared ones must never show up in a log line: every
// captured log of a test program is checked for them when the program ends.
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

#endif  // KEELHAVEN_TESTS_SUPPORT_TEST_KEYS_H_
