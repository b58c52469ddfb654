#include "base/portable_ini.h"

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

// Byte 0xE9 stands for "é": enough to see that the store goes through its codec both ways.
app::IniCodec AccentCodec() {
  auto swap = [](std::string_view text, std::string_view from, std::string_view to) {
    std::string out(text);
    for (auto at = out.find(from); at != std::string::npos; at = out.find(from, at + to.size())) {
      out.replace(at, from.size(), to);
    }
    return out;
  };
  return app::IniCodec{[swap](std::string_view bytes) { return swap(bytes, "\xE9", "é"); },
                       [swap](std::string_view utf8) { return swap(utf8, "é", "\xE9"); }};
}

TEST(PortableIniStore, ReadsAndWritesThroughItsCodec) {
  TempDir dir;
  const std::string path = dir.Write("accent.ini", "[S]\r\nname=caf\xE9\r\n");
  app::PortableIniStore store(path, AccentCodec());
  EXPECT_EQ(store.ReadString("S", "name", ""), "café");
  store.WriteString("S", "other", "été");
  EXPECT_EQ(ReadFileBytes(path), "[S]\r\nname=caf\xE9\r\nother=\xE9t\xE9\r\n");
  EXPECT_EQ(store.ReadString("S", "other", ""), "été");
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

TEST(PortableIniStore, WriteSectionReplacesOneSectionAndKeepsEveryOtherLine) {
  TempDir dir;
  const std::string path = dir.Write("Update.ini",
                                     "; made by hand\n[Update]\n  lastversion = 1.2.6.3 \n"
                                     "[modlist]\nCount=9\n; old list\nmod1=old.jar\n\n\n"
                                     "[dellist]\nCount=0\n[MODLIST]\nlate=1\n");
  app::PortableIniStore store(path);
  store.WriteSection("ModList", {{"Count", "2"}, {" mod1 ", "a b.jar"}, {"mod1size", "5"}});
  store.WriteSection("New", {{"k", "v"}});
  EXPECT_EQ(ReadFileBytes(path),
            "; made by hand\r\n[Update]\r\n  lastversion = 1.2.6.3 \r\n"
            "[modlist]\r\nCount=2\r\nmod1=a b.jar\r\nmod1size=5\r\n\r\n\r\n"
            "[dellist]\r\nCount=0\r\n[MODLIST]\r\nlate=1\r\n[New]\r\nk=v\r\n");
  EXPECT_EQ(store.ReadSection("modlist"),
            (std::vector<std::pair<std::string, std::string>>{
                {"Count", "2"}, {"mod1", "a b.jar"}, {"mod1size", "5"}}));
  store.WriteSection("dellist", {});
  EXPECT_TRUE(store.ReadSection("dellist").empty());
  EXPECT_EQ(store.ReadString("MODLIST", "late", "d"), "d");

  const std::string fresh = dir.Sub("fresh.ini");
  app::PortableIniStore(fresh).WriteSection("S", {{"a", "1"}});
  EXPECT_EQ(ReadFileBytes(fresh), "[S]\r\na=1\r\n");
  EXPECT_THROW(app::PortableIniStore(dir.Sub("no such folder/x.ini")).WriteSection("S", {}),
               app::IniWriteError);
}

TEST(PortableIniStore, WriteSectionKeepsTheFilesEncoding) {
  TempDir dir;
  // "[S]\r\nx=1\r\n" in UTF-16 little-endian.
  const std::string utf16 =
      dir.Write("utf16.ini", std::string("\xFF\xFE[\0S\0]\0\r\0\n\0x\0=\0001\0\r\0\n\0", 22));
  app::PortableIniStore(utf16).WriteSection("S", {{"y", "Ж"}});
  EXPECT_EQ(ReadFileBytes(utf16),
            std::string("\xFF\xFE[\0S\0]\0\r\0\n\0y\0=\0\x16\x04\r\0\n\0", 22));

  const std::string utf8 = dir.Write("utf8.ini", "\xEF\xBB\xBF[S]\r\nx=1\r\n");
  app::PortableIniStore(utf8).WriteSection("T", {{"y", "Ж"}});
  EXPECT_EQ(ReadFileBytes(utf8), "\xEF\xBB\xBF[S]\r\nx=1\r\n[T]\r\ny=Ж\r\n");

  const std::string coded = dir.Write("accent.ini", "[S]\r\nx=caf\xE9\r\n");
  app::PortableIniStore(coded, AccentCodec()).WriteSection("S", {{"x", "été"}});
  EXPECT_EQ(ReadFileBytes(coded), "[S]\r\nx=\xE9t\xE9\r\n");
}

TEST(CutToCodePoints, CountsCharactersNotBytes) {
  EXPECT_EQ(app::CutToCodePoints("abc", 2), "ab");
  EXPECT_EQ(app::CutToCodePoints("жжж", 2), "жж");
  EXPECT_EQ(app::CutToCodePoints("aж€😀b", 4), "aж€😀");
  EXPECT_EQ(app::CutToCodePoints("ab", 5), "ab");
  EXPECT_EQ(app::CutToCodePoints("ab", 0), "");
}

// Only what could read two ways is named: a key may recur in another section, a header may
// carry text after its bracket, and comments and blank lines say nothing.
TEST(PortableIniStore, AmbiguitiesNameTheLineAndTheFirstOne) {
  const struct {
    std::string text;
    std::vector<std::string> found;
  } cases[] = {
      {"; c\r\n[modlist]\r\nCount=1\r\n\r\n[dellist] x\r\nCount=1\r\n;Count=2\r\n", {}},
      {"k=1\nK=2\n[S]\nk=3\n", {"line 2: key K again before the first section, first at line 1"}},
      {"[S]\n [ s ] \n", {"line 2: section [s] again, first at line 1"}},
      {"[S]\na = 1\nA=2\n[T]\n[s]\na=3\n",
       {"line 3: key A again in [S], first at line 2",
        "line 5: section [s] again, first at line 1"}},
      {std::string("[S]\na=\0\n", 8), {"line 2: a NUL character"}},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const std::string path = dir.Write("a.ini", c.text);
    EXPECT_EQ(app::PortableIniStore(path).Ambiguities(), c.found) << c.text;
  }
}

}  // namespace
}  // namespace veltrane::test
