#include "net/manifest.h"

#include <gtest/gtest.h>

#include <optional>

#include "base/ascii.h"
#include "base/portable_ini.h"
#include "temp_dir.h"

namespace veltrane::net {
namespace {

// The manifest as the server writes it, read through the portable INI store; reads of the
// file are counted so a test can see how much work a manifest costs.
class ManifestFile : public app::IniStore {
 public:
  explicit ManifestFile(const std::string& text) : store_(dir_.Write("Update.ini", text)) {}
  const std::string& Path() const override { return store_.Path(); }
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const override {
    ++reads;
    return store_.ReadString(section, key, def);
  }
  std::vector<std::string> ReadKeys(std::string_view section) const override {
    ++reads;
    return store_.ReadKeys(section);
  }
  std::vector<std::pair<std::string, std::string>> ReadSection(
      std::string_view section) const override {
    ++reads;
    return store_.ReadSection(section);
  }
  void WriteString(std::string_view section, std::string_view key,
                   std::string_view value) override {
    store_.WriteString(section, key, value);
  }

  mutable long reads = 0;

 private:
  test::TempDir dir_;
  app::PortableIniStore store_;
};

std::vector<std::string> Names(const std::vector<ManifestEntry>& entries) {
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  return names;
}

TEST(Manifest, LastVersionDefaultsToTheProgramsOwn) {
  EXPECT_EQ(ReadLastVersion(ManifestFile("[modlist]\r\nCount=0\r\n"), "1.2.6.3"), "1.2.6.3");
  EXPECT_EQ(ReadLastVersion(ManifestFile("[UPDATE]\r\nLastVersion = 1.2.6.4 \r\n"), "1.2.6.3"),
            "1.2.6.4");
}

TEST(Manifest, ReadsTheModListWithSizes) {
  const ManifestFile ini(
      "[Update]\r\nlastversion=1.2.6.3\r\n"
      "[ModList]\r\nCOUNT=3\r\nmod1=jei.jar\r\nmod1size=1024\r\n"
      "MOD2=Мод с пробелом.jar\r\nMod2Size=$10\r\nmod3=x.jar\r\nmod3size=big\r\n"
      "mod4=beyond-count.jar\r\nmod4size=9\r\n"
      "[dellist]\r\nCount=1\r\nmod1=old.jar\r\n");
  const auto mods = ReadModList(ini).entries;
  ASSERT_EQ(mods.size(), 3u);
  EXPECT_EQ(Names(mods), (std::vector<std::string>{"jei.jar", "Мод с пробелом.jar", "x.jar"}));
  EXPECT_EQ(mods[0].size, 1024);
  EXPECT_EQ(mods[1].size, 16);
  EXPECT_EQ(mods[2].size, 0);
  EXPECT_EQ(mods[2].index, 3);
  EXPECT_TRUE(mods[1].plain);
}

TEST(Manifest, MissingOrMalformedCountListsNothing) {
  for (const std::string count : {"", "Count=abc\r\n", "Count=-4\r\n", "Count=0\r\n"}) {
    const ManifestFile ini("[modlist]\r\n" + count + "mod1=a.jar\r\n[dellist]\r\n" + count +
                           "mod1=b.jar\r\n");
    EXPECT_TRUE(ReadModList(ini).entries.empty()) << count;
    EXPECT_TRUE(ReadDelList(ini).entries.empty()) << count;
  }
}

TEST(Manifest, GapsUpToCountComeBackAsEmptyNames) {
  const ManifestFile ini("[modlist]\r\nCount=5\r\nmod1=a.jar\r\nmod3size=7\r\nmod4=d.jar\r\n");
  const auto mods = ReadModList(ini).entries;
  // The trailing gap counts too: Count says five.
  EXPECT_EQ(Names(mods), (std::vector<std::string>{"a.jar", "", "", "d.jar", ""}));
  EXPECT_FALSE(mods[1].plain);
  EXPECT_EQ(mods[2].size, 7);
}

TEST(Manifest, AHugeCountCostsOnlyTheKeysPresent) {
  const std::string three =
      "[modlist]\r\nCount=2147483647\r\nmod1=a.jar\r\nmod2=b.jar\r\nmod3=c.jar\r\n";
  const ManifestFile ini(three);
  const ManifestList list = ReadModList(ini);
  EXPECT_EQ(Names(list.entries), (std::vector<std::string>{"a.jar", "b.jar", "c.jar"}));
  EXPECT_TRUE(list.bounded);
  EXPECT_LT(ini.reads, 20);
  // Keys that only look like entries do not stretch the range.
  const ManifestFile lookalikes(three + "mod0100=x\r\nmodx=y\r\nmod99999999999=z\r\nmod-7=w\r\n");
  EXPECT_EQ(ReadModList(lookalikes).entries.size(), 3u);
}

TEST(Manifest, GapsAreBelievedUpToTheBudgetAndKeyedEntriesAlways) {
  struct Case {
    std::string keys;
    bool bounded;
    std::size_t entries;
    std::int32_t last;                                        // index of the last entry
    std::vector<std::pair<std::int32_t, std::string>> named;  // (index, name) of named entries
  };
  const std::vector<Case> cases = {
      // Gaps inside the budget, trailing ones included; keys above Count are not read.
      {"Count=3\r\nmod2=b.jar\r\nmod9=i.jar\r\n", false, 3, 3, {{2, "b.jar"}}},
      {"Count=10002\r\nmod1=a.jar\r\nmod3=c.jar\r\n",
       false,
       10002,
       10002,
       {{1, "a.jar"}, {3, "c.jar"}}},
      // One gap more, and only the keyed entries are left.
      {"Count=10003\r\nmod1=a.jar\r\nmod3=c.jar\r\n", true, 2, 3, {{1, "a.jar"}, {3, "c.jar"}}},
      {"Count=200000\r\nmod200000=z.jar\r\nmod1=a.jar\r\n",
       true,
       2,
       200000,
       {{1, "a.jar"}, {200000, "z.jar"}}},
      {"Count=2147483647\r\nmod2147483647size=1\r\n", true, 1, 2147483647, {}},
  };
  for (const std::string section : {"modlist", "dellist"}) {
    for (const Case& c : cases) {
      const ManifestFile ini("[" + section + "]\r\n" + c.keys);
      const ManifestList list = section == "modlist" ? ReadModList(ini) : ReadDelList(ini);
      SCOPED_TRACE(section + ": " + c.keys);
      EXPECT_EQ(list.bounded, c.bounded);
      ASSERT_EQ(list.entries.size(), c.entries);
      std::vector<std::pair<std::int32_t, std::string>> named;
      for (const auto& e : list.entries) {
        if (!e.name.empty()) named.emplace_back(e.index, e.name);
      }
      EXPECT_EQ(named, c.named);
      EXPECT_EQ(list.entries.back().index, c.last);
    }
  }
  const ManifestList huge =
      ReadModList(ManifestFile("[modlist]\r\nCount=2147483647\r\nmod2147483647size=1\r\n"));
  EXPECT_EQ(huge.count, 2147483647);
  EXPECT_EQ(huge.entries[0].size, 1);
}

TEST(Manifest, EachListIsOneReadOfTheFile) {
  std::string text = "[modlist]\r\nCount=2000\r\n";
  for (int i = 1; i <= 2000; ++i) {
    text += "mod" + std::to_string(i) + "=m" + std::to_string(i) + ".jar\r\nmod" +
            std::to_string(i) + "size=" + std::to_string(i) + "\r\nmod" + std::to_string(i) +
            "sha256=" + std::string(64, 'A') + "\r\n";
  }
  const ManifestFile ini(text + "[dellist]\r\nCount=1\r\nmod1=old.jar\r\n");
  const auto mods = ReadModList(ini).entries;
  ASSERT_EQ(mods.size(), 2000u);
  EXPECT_EQ(mods[1999].name, "m2000.jar");
  EXPECT_EQ(mods[1999].size, 2000);
  EXPECT_EQ(mods[1999].sha256, std::string(64, 'a'));
  EXPECT_EQ(ini.reads, 1);
  EXPECT_EQ(Names(ReadDelList(ini).entries), std::vector<std::string>{"old.jar"});
  EXPECT_EQ(ini.reads, 2);
}

// A hash in either case is held in lower case; anything else that is not empty is kept as
// written, which no file's hash equals.
TEST(Manifest, ModHashesAreNormalisedOrKeptUnmatchable) {
  const std::string hash = "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb";
  struct Case {
    std::string line;  // the hash line of mod1, as written
    std::optional<std::string> held;
  };
  const std::vector<Case> cases = {
      {"mod1sha256=" + hash, hash},
      {"MOD1SHA256 = " + AsciiUpper(hash) + " ", hash},
      {"mod1sha256=" + hash.substr(1), hash.substr(1)},
      {"mod1sha256=" + hash + "0", hash + "0"},
      {"mod1sha256=sha256:" + hash, "sha256:" + hash},
      {"mod1sha256=", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    const ManifestFile ini("[modlist]\r\nCount=1\r\nmod1=a.jar\r\n" + c.line +
                           "\r\n[dellist]\r\nCount=1\r\nmod1=b.jar\r\n" + c.line + "\r\n");
    const auto mods = ReadModList(ini).entries;
    ASSERT_EQ(mods.size(), 1u) << c.line;
    EXPECT_EQ(mods[0].name, "a.jar") << c.line;
    EXPECT_EQ(mods[0].sha256, c.held) << c.line;
    EXPECT_FALSE(ReadDelList(ini).entries.at(0).sha256) << c.line;
  }
}

// A size bounds a body only beside a hash: sizes alone were never published by the pack tool.
TEST(Manifest, ServedFilesComeFromTheUpdateSection) {
  const std::string hash(64, 'b');
  const ManifestFile ini("[Update]\r\nlastversion=1.2.6.3\r\nUpdateSHA256=" + std::string(64, 'B') +
                         "\r\nUpdateSize=900\r\nupdatesize=5\r\nsettingssha256=not a hash\r\n"
                         "settingssha256=" +
                         hash +
                         "\r\nsettingssize=9 kB\r\nforgesize=7\r\n"
                         "[modlist]\r\nforgesha256=" +
                         hash + "\r\n");
  const ServedFiles served = ReadServedFiles(ini);
  EXPECT_EQ(served.update.sha256, hash);
  EXPECT_EQ(served.update.largest, 900);
  EXPECT_EQ(served.settings_tool.sha256, "not a hash");
  EXPECT_EQ(served.settings_tool.largest, -1);
  EXPECT_FALSE(served.forge.sha256);  // only section Update holds them
  EXPECT_EQ(served.forge.largest, -1);
  EXPECT_EQ(ini.reads, 1);
}

TEST(Manifest, DelListUsesTheModStemAndNoSizes) {
  const ManifestFile ini(
      "[dellist]\r\nCount=2\r\nmod1=old.jar\r\nmod1size=55\r\ndel2=ignored.jar\r\nmod2=..\r\n");
  const auto dropped = ReadDelList(ini).entries;
  EXPECT_EQ(Names(dropped), (std::vector<std::string>{"old.jar", ".."}));
  EXPECT_EQ(dropped[0].size, 0);
  EXPECT_TRUE(dropped[0].plain);
  EXPECT_FALSE(dropped[1].plain);
  EXPECT_TRUE(ReadDelList(ManifestFile("[dellist]\r\nmod1=old.jar\r\n")).entries.empty());
}

TEST(Manifest, PlainFileNames) {
  for (const std::string good : {"jei_1.12.2-4.8.jar", "Мод с пробелом.jar", "icon.jar", "COM0.jar",
                                 "LPT10", "CONSOLE.jar", "...jar", "a b"}) {
    EXPECT_TRUE(IsPlainFileName(good)) << good;
  }
  for (const std::string& bad : std::vector<std::string>{
           "", ".", "..", "..\\mods\\x.jar", "../x.jar", "sub/x.jar", "C:x.jar", "a\tb",
           std::string("a\x7f"), "CON", "con.jar", "Nul.txt", "aux", "PRN.zip", "com1", "LPT9.jar",
           "COM3 .jar", "con.jar.bak"}) {
    EXPECT_FALSE(IsPlainFileName(bad)) << bad;
  }
}

}  // namespace
}  // namespace veltrane::net
