#include "net/crypto.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veltrane::net {
namespace {

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

}  // namespace
}  // namespace veltrane::net
