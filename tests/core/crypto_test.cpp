#include "net/crypto.h"

#include <gtest/gtest.h>

#include <string>

namespace veltrane::net {
namespace {

// A manifest signed with one key by both implementations: the OpenSSL signature was made by the
// native pack tool, the CNG one by the Windows pack tool under Wine. Each tier checks both, so
// each implementation verifies the other's.
constexpr std::string_view kMessage =
    "[Update]\r\nlastversion=1.0\r\n[modlist]\r\nCount=1\r\nmod1=a.jar\r\nmod1size=1\r\n"
    "mod1sha256=ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb\r\n"
    "[dellist]\r\nCount=0\r\n";
constexpr std::string_view kPublicKey =
    "4f78e2841e9f46cb275c71d95ea4edc8cbe2447fe2f2115db81209a8b5f075d1"
    "6a346fcfcb03602dd8487eadf923141e026f967d70d9a19310fcdef5aacbd7eb";
constexpr std::string_view kOpenSslSignature =
    "b1c411b6ab9072274ec33f66209f526be0bc3acb9fad44c61b35ba0fae70f972"
    "e489f90fc4d2cd0618bdfd595d41b81061966efb59e36b78c5679c419640de27";
constexpr std::string_view kCngSignature =
    "69f3c4330e2589fe5c3af88161ae45f4268b60bcb08781c73f0c0305c5f38ccd"
    "40db09341aa77e9fe1025f3980649932014e3878a6be5e5106dc2ef9040ca829";

P256PublicKey Key(std::string_view hex = kPublicKey) {
  return ParseHexArray<64>(hex).value();
}
P256Signature Signature(std::string_view hex) {
  return ParseHexArray<64>(hex).value();
}

TEST(Sha256Test, KnownDigestsWholeAndStreamed) {
  struct Case {
    std::string input;
    std::string_view digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToHex(Sha256Of(c.input)), c.digest) << c.input.size() << " bytes";
    // Pieces of uneven sizes give the same digest as one piece.
    const auto hash = NewSha256();
    for (std::size_t at = 0, step = 1; at < c.input.size(); at += step, step = step * 3 + 1) {
      hash->Update(c.input.data() + at, std::min(step, c.input.size() - at));
    }
    EXPECT_EQ(ToHex(hash->Final()), c.digest) << c.input.size() << " bytes, streamed";
  }
}

TEST(HexTest, LowerCaseOutAndStrictIn) {
  EXPECT_EQ(ToHex(std::array<std::uint8_t, 3>{0x00, 0xAB, 0xF0}), "00abf0");
  EXPECT_EQ(ParseHex("00AbF0"), (std::vector<std::uint8_t>{0x00, 0xAB, 0xF0}));
  for (const std::string_view bad : {"abc", "zz", "0x12", " 12"}) {
    EXPECT_FALSE(ParseHex(bad)) << bad;
  }
  EXPECT_FALSE(ParseHexArray<2>("001122"));
}

TEST(P256Test, VerifiesSignaturesOfBothImplementations) {
  for (const auto signature : {kOpenSslSignature, kCngSignature}) {
    EXPECT_TRUE(VerifyP256Signature(Key(), kMessage, Signature(signature))) << signature;
  }
}

TEST(P256Test, RefusesAnyChange) {
  std::string changed_message(kMessage);
  changed_message[20] ^= 1;
  P256Signature changed_signature = Signature(kOpenSslSignature);
  changed_signature[40] ^= 1;
  P256PublicKey other_key = Key();
  other_key[63] ^= 1;  // off the curve
  // A valid key, but another one.
  const P256PublicKey unrelated =
      Key("4651c766b249bb1e619405645bbe70d1147d3cfdfe079715c7c1a5d362a7c14a"
          "5e7b639e38618d596830b938594a3dd6ac07a453da1eaab6aa07ff76a5c7c35f");
  const P256Signature signature = Signature(kOpenSslSignature);
  EXPECT_FALSE(VerifyP256Signature(Key(), changed_message, signature));
  EXPECT_FALSE(VerifyP256Signature(Key(), kMessage, changed_signature));
  EXPECT_FALSE(VerifyP256Signature(other_key, kMessage, signature));
  EXPECT_FALSE(VerifyP256Signature(unrelated, kMessage, signature));
  EXPECT_FALSE(VerifyP256Signature(Key(), kMessage, P256Signature{}));
}

}  // namespace
}  // namespace veltrane::net
