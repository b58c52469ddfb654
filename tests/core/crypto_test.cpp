#include "net/crypto.h"

#include <gtest/gtest.h>

#include <string>

#include "signed_manifest.h"

namespace veltrane::net {
namespace {

using test::kCngSignature;
using test::kOpenSslSignature;
constexpr std::string_view kMessage = test::kSignedManifest;
constexpr std::string_view kPublicKey = test::kSignerPublicKey;

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
  const P256PublicKey unrelated = Key(test::kOtherPublicKey);
  const P256Signature signature = Signature(kOpenSslSignature);
  EXPECT_FALSE(VerifyP256Signature(Key(), changed_message, signature));
  EXPECT_FALSE(VerifyP256Signature(Key(), kMessage, changed_signature));
  EXPECT_FALSE(VerifyP256Signature(other_key, kMessage, signature));
  EXPECT_FALSE(VerifyP256Signature(unrelated, kMessage, signature));
  EXPECT_FALSE(VerifyP256Signature(Key(), kMessage, P256Signature{}));
}

}  // namespace
}  // namespace veltrane::net
