#include "net/manifest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <map>
#include <utility>

#include "net/server_paths.h"

namespace veltrane::net {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// An in-memory INI file with the platform's case-insensitive names; it counts the reads so a
// test can see how much work a manifest costs.
class MemoryIni : public app::IniStore {
 public:
  MemoryIni& Set(const std::string& section, const std::string& key, const std::string& value) {
    auto& keys = sections_[Lower(section)];
    const auto found = std::find_if(keys.begin(), keys.end(),
                                    [&](const auto& kv) { return Lower(kv.first) == Lower(key); });
    if (found == keys.end()) {
      keys.emplace_back(key, value);
    } else {
      found->second = value;
    }
    return *this;
  }
  const std::string& Path() const override { return path_; }
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const override {
    ++reads;
    const auto s = sections_.find(Lower(section));
    if (s == sections_.end()) return std::string(def);
    for (const auto& [k, v] : s->second) {
      if (Lower(k) == Lower(key)) return v;
    }
    return std::string(def);
  }
  std::vector<std::string> ReadKeys(std::string_view section) const override {
    std::vector<std::string> keys;
    const auto s = sections_.find(Lower(section));
    if (s != sections_.end()) {
      for (const auto& kv : s->second) keys.push_back(kv.first);
    }
    return keys;
  }
  void WriteString(std::string_view section, std::string_view key,
                   std::string_view value) override {
    Set(std::string(section), std::string(key), std::string(value));
  }

  mutable long reads = 0;

 private:
  std::string path_ = "Update.ini";
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> sections_;
};

std::vector<std::string> Names(const std::vector<ManifestEntry>& entries) {
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  return names;
}

TEST(Manifest, LastVersionDefaultsToTheProgramsOwn) {
  MemoryIni ini;
  EXPECT_EQ(ReadLastVersion(ini, "1.2.6.3"), "1.2.6.3");
  ini.Set("UPDATE", "LastVersion", "1.2.6.4");
  EXPECT_EQ(ReadLastVersion(ini, "1.2.6.3"), "1.2.6.4");
}

TEST(Manifest, ReadsTheModListWithSizes) {
  MemoryIni ini;
  ini.Set("modlist", "Count", "3")
      .Set("modlist", "mod1", "jei.jar")
      .Set("modlist", "mod1size", "1024")
      .Set("MODLIST", "MOD2", "Мод с пробелом.jar")
      .Set("modlist", "Mod2Size", "$10")
      .Set("modlist", "mod3", "x.jar")
      .Set("modlist", "mod3size", "big")
      .Set("modlist", "mod4", "beyond-count.jar");
  const auto mods = ReadModList(ini);
  ASSERT_EQ(mods.size(), 3u);
  EXPECT_EQ(Names(mods), (std::vector<std::string>{"jei.jar", "Мод с пробелом.jar", "x.jar"}));
  EXPECT_EQ(mods[0].size, 1024);
  EXPECT_EQ(mods[1].size, 16);
  EXPECT_EQ(mods[2].size, 0);
  EXPECT_EQ(mods[2].index, 3);
  EXPECT_TRUE(mods[1].plain);
}

TEST(Manifest, MissingOrMalformedCountListsNothing) {
  for (const std::string count : {"", "abc", "-4", "0", "three"}) {
    MemoryIni ini;
    if (!count.empty()) ini.Set("modlist", "Count", count);
    ini.Set("modlist", "mod1", "a.jar").Set("dellist", "mod1", "b.jar");
    EXPECT_TRUE(ReadModList(ini).empty()) << count;
    EXPECT_TRUE(ReadDelList(ini).empty()) << count;
  }
}

TEST(Manifest, GapsInsideTheRangeComeBackAsEmptyNames) {
  MemoryIni ini;
  ini.Set("modlist", "Count", "5")
      .Set("modlist", "mod1", "a.jar")
      .Set("modlist", "mod3size", "7")
      .Set("modlist", "mod4", "d.jar");
  const auto mods = ReadModList(ini);
  EXPECT_EQ(Names(mods), (std::vector<std::string>{"a.jar", "", "", "d.jar"}));
  EXPECT_FALSE(mods[1].plain);
  EXPECT_EQ(mods[2].size, 7);
}

TEST(Manifest, AHugeCountCostsOnlyTheKeysPresent) {
  MemoryIni ini;
  ini.Set("modlist", "Count", "2147483647")
      .Set("modlist", "mod1", "a.jar")
      .Set("modlist", "mod2", "b.jar")
      .Set("modlist", "mod3", "c.jar");
  const auto start = std::chrono::steady_clock::now();
  const auto mods = ReadModList(ini);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(Names(mods), (std::vector<std::string>{"a.jar", "b.jar", "c.jar"}));
  EXPECT_LT(ini.reads, 20);
  // Keys that only look like entries do not stretch the range.
  ini.Set("modlist", "mod0100", "x")
      .Set("modlist", "modx", "y")
      .Set("modlist", "mod99999999999", "z");
  EXPECT_EQ(ReadModList(ini).size(), 3u);
}

TEST(Manifest, DelListUsesTheModStemAndNoSizes) {
  MemoryIni ini;
  ini.Set("dellist", "Count", "2")
      .Set("dellist", "mod1", "old.jar")
      .Set("dellist", "mod1size", "55")
      .Set("dellist", "del2", "ignored.jar")
      .Set("dellist", "mod2", "..");
  const auto dropped = ReadDelList(ini);
  EXPECT_EQ(Names(dropped), (std::vector<std::string>{"old.jar", ".."}));
  EXPECT_EQ(dropped[0].size, 0);
  EXPECT_TRUE(dropped[0].plain);
  EXPECT_FALSE(dropped[1].plain);
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

TEST(ServerPaths, ModUrlsAppendTheNameUnchanged) {
  EXPECT_EQ(ModUrl("https://files.example/pack", "Мод с пробелом.jar"),
            "https://files.example/pack/mods3/Мод с пробелом.jar");
  EXPECT_EQ(ForgeInstallerUrl("https://h"),
            "https://h/forge-1.12.2-14.23.2.2629-installer-win.exe");
  EXPECT_EQ(EntrySizeKey(12), "mod12size");
}

}  // namespace
}  // namespace veltrane::net
