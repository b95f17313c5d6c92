#include "standins/wireguard/public_key.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char kBase64[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

TEST(DerivePublicKeyTest, LooksLikeAKeyAndDiffersFromThePrivateKey) {
  const std::string private_keys[] = {
      "", "a",
      "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=", std::string(1000, 'z')};
  for (const std::string& private_key : private_keys) {
    SCOPED_TRACE(private_key);
    const std::string key = DerivePublicKey(private_key);
    ASSERT_EQ(key.size(), 44u);
    EXPECT_EQ(key.back(), '=');
    EXPECT_EQ(key.find_first_not_of(kBase64), 43u);
    EXPECT_NE(key, private_key);
    EXPECT_EQ(DerivePublicKey(private_key), key);
  }
}

}  // namespace
