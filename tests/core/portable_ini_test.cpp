#include "app/portable_ini.h"

#include <gtest/gtest.h>

#include "ini_contract.h"

namespace veltrane::test {
namespace {

INSTANTIATE_TEST_SUITE_P(Portable, IniContract,
                         ::testing::Values(IniStoreMaker{
                             "Utf8",
                             [](const std::string& path) {
                               return std::make_unique<app::PortableIniStore>(path);
                             },
                             [](std::string_view utf8) { return std::string(utf8); }}),
                         MakerName);

// Bytes as Latin-1: enough to see that the store goes through its codec both ways.
app::IniCodec Latin1Codec() {
  return app::IniCodec{[](std::string_view bytes) {
                         std::string out;
                         for (const char c : bytes) {
                           const auto b = static_cast<unsigned char>(c);
                           if (b < 0x80) {
                             out += c;
                           } else {
                             out += static_cast<char>(0xC0 | (b >> 6));
                             out += static_cast<char>(0x80 | (b & 0x3F));
                           }
                         }
                         return out;
                       },
                       [](std::string_view utf8) {
                         std::string out;
                         for (std::size_t i = 0; i < utf8.size(); ++i) {
                           const auto b = static_cast<unsigned char>(utf8[i]);
                           if (b < 0x80) {
                             out += utf8[i];
                           } else if ((b & 0xE0) == 0xC0 && b <= 0xC3 && i + 1 < utf8.size()) {
                             out += static_cast<char>(((b & 0x03) << 6) | (utf8[++i] & 0x3F));
                           } else {
                             out += '?';
                           }
                         }
                         return out;
                       }};
}

TEST(PortableIniStore, ReadsAndWritesThroughItsCodec) {
  TempDir dir;
  const std::string path = dir.Write("latin.ini", "[S]\r\nname=caf\xE9\r\n");
  app::PortableIniStore store(path, Latin1Codec());
  EXPECT_EQ(store.ReadString("S", "name", ""), "café");
  store.WriteString("S", "other", "naïve");
  EXPECT_EQ(ReadFileBytes(path), "[S]\r\nname=caf\xE9\r\nother=na\xEFve\r\n");
  EXPECT_EQ(store.ReadString("S", "other", ""), "naïve");
}

TEST(PortableIniStore, WritesKeepTheLayoutOfOtherLines) {
  TempDir dir;
  const std::string path =
      dir.Write("layout.ini", "; settings\n[A]\n  a = 1  \nb=2\n\n\n[B]\nx=\"q\"\n");
  app::PortableIniStore store(path);
  store.WriteString("a", "A", "9");
  store.WriteString("A", "c", "3");
  store.WriteString("New", "k", "v");
  EXPECT_EQ(ReadFileBytes(path),
            "; settings\r\n[A]\r\na=9\r\nb=2\r\nc=3\r\n\r\n\r\n[B]\r\nx=\"q\"\r\n[New]\r\nk=v\r\n");
}

TEST(PortableIniStore, KeysBeforeAnySectionBelongToTheUnnamedOne) {
  TempDir dir;
  const std::string path = dir.Write("stray.ini", "stray=1\r\n[S]\r\nk=2\r\n");
  app::PortableIniStore store(path);
  EXPECT_EQ(store.ReadString("", "stray", ""), "1");
  EXPECT_EQ(store.ReadString("S", "stray", "d"), "d");
  store.WriteString("", "top", "0");
  EXPECT_EQ(ReadFileBytes(path), "stray=1\r\ntop=0\r\n[S]\r\nk=2\r\n");
}

TEST(CutToCodePoints, CountsCharactersNotBytes) {
  EXPECT_EQ(app::CutToCodePoints("abc", 2), "ab");
  EXPECT_EQ(app::CutToCodePoints("жжж", 2), "жж");
  EXPECT_EQ(app::CutToCodePoints("aж€😀b", 4), "aж€😀");
  EXPECT_EQ(app::CutToCodePoints("ab", 5), "ab");
  EXPECT_EQ(app::CutToCodePoints("ab", 0), "");
}

}  // namespace
}  // namespace veltrane::test
