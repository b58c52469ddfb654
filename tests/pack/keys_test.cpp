#include <gtest/gtest.h>

#include <filesystem>

#include "key_file.h"
#include "pack_fixture.h"
#include "signing.h"

namespace veltrane::pack {
namespace {

using ::testing::HasSubstr;

TEST(SigningTest, SignaturesOfFreshKeysVerify) {
  const P256KeyPair key = GenerateP256KeyPair();
  const std::string message = "[Update]\r\nlastversion=1\r\n";
  const auto signature = SignP256(key, message);
  ASSERT_TRUE(signature);
  EXPECT_TRUE(net::VerifyP256Signature(key.public_key, message, *signature));
  EXPECT_FALSE(net::VerifyP256Signature(key.public_key, message + " ", *signature));
}

TEST(SigningTest, AKeyWhoseHalvesDoNotBelongTogetherDoesNotSign) {
  P256KeyPair key = GenerateP256KeyPair();
  key.public_key = GenerateP256KeyPair().public_key;
  EXPECT_FALSE(SignP256(key, "text"));
}

TEST(KeyFileTest, RoundTripAndBrokenFiles) {
  const P256KeyPair key = GenerateP256KeyPair();
  std::string error;
  const auto back = ParseKeyFile(FormatKeyFile(key), error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->public_key, key.public_key);
  EXPECT_EQ(back->private_key, key.private_key);

  const std::string title(kKeyFileTitle);
  const std::string pub = "public=" + net::ToHex(key.public_key);
  const std::string priv = "private=" + net::ToHex(key.private_key);
  EXPECT_TRUE(ParseKeyFile(title + "\r\n" + pub + "\r\n" + priv + "\r\n", error)) << "CRLF";
  for (const std::string& broken : {
           pub + "\n" + priv + "\n",                                            // no title
           title + "\n" + pub + "\n",                                           // no private=
           title + "\n" + pub + "\n" + priv.substr(0, priv.size() - 2) + "\n",  // short d
           title + "\n" + pub + "\n" + priv + "\nextra=1\n",
       }) {
    EXPECT_FALSE(ParseKeyFile(broken, error)) << broken;
  }
}

class KeygenTest : public PackTest {};

TEST_F(KeygenTest, WritesAKeyFileAndPrintsItsPublicKey) {
  const std::string path = dir_.Sub("admin.key");
  const RunResult result = Run({"keygen", path});
  ASSERT_EQ(result.code, 0) << result.err;
  std::string error;
  const auto key = ParseKeyFile(test::ReadFileBytes(path), error);
  ASSERT_TRUE(key) << error;
  EXPECT_THAT(result.out, HasSubstr("\n" + PublicKeyText(key->public_key) + "\n"));
#ifndef _WIN32
  const auto permissions = std::filesystem::status(path).permissions();
  EXPECT_EQ(permissions & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
}

TEST_F(KeygenTest, NeverOverwritesAFile) {
  const std::string path = dir_.Write("admin.key", "precious");
  const RunResult result = Run({"keygen", path});
  EXPECT_EQ(result.code, 2);
  EXPECT_THAT(result.err, HasSubstr("already exists"));
  EXPECT_EQ(test::ReadFileBytes(path), "precious");
}

}  // namespace
}  // namespace veltrane::pack
