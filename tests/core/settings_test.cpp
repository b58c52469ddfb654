#include "app/settings.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace veltrane::app {
namespace {

// Keeps values in memory, as a store that has just read the file would return them.
class MemoryStore final : public IniStore {
 public:
  const std::string& Path() const override { return path_; }
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const override {
    const auto it = values_.find({std::string(section), std::string(key)});
    return it == values_.end() ? std::string(def) : it->second;
  }
  std::vector<std::string> ReadKeys(std::string_view) const override { return {}; }
  void WriteString(std::string_view section, std::string_view key,
                   std::string_view value) override {
    values_[{std::string(section), std::string(key)}] = std::string(value);
  }

 private:
  std::string path_ = "memory";
  std::map<std::pair<std::string, std::string>, std::string> values_;
};

TEST(Settings, FlagsAreIntegersZeroFalseOtherTrueGarbageDefault) {
  MemoryStore store;
  EXPECT_TRUE(ReadFlag(store, kTurboKey, kTurboDefault));  // absent
  EXPECT_FALSE(ReadFlag(store, kTurboKey, false));

  const std::pair<const char*, bool> stored[] = {{"0", false}, {"1", true},   {"7", true},
                                                 {"$1", true}, {"0x2", true}, {"-1", true},
                                                 {"$0", false}};
  for (const auto& [text, expected] : stored) {
    store.WriteString(kSettingsSection, kTurboKey, text);
    EXPECT_EQ(ReadFlag(store, kTurboKey, !expected), expected) << text;
  }
  for (const char* garbage : {"yes", "", "1.0", "true", "1x"}) {
    store.WriteString(kSettingsSection, kExtraOptionsKey, garbage);
    EXPECT_TRUE(ReadFlag(store, kExtraOptionsKey, true)) << garbage;
    EXPECT_FALSE(ReadFlag(store, kExtraOptionsKey, false)) << garbage;
  }
}

TEST(Settings, FlagsAreWrittenAsOneOrZeroInTheSettingsSection) {
  MemoryStore store;
  WriteFlag(store, kTurboKey, true);
  WriteFlag(store, kExtraOptionsKey, false);
  EXPECT_EQ(store.ReadString("Settings", "Turbo", ""), "1");
  EXPECT_EQ(store.ReadString("Settings", "ExtraOptions", ""), "0");
  EXPECT_TRUE(ReadFlag(store, kTurboKey, false));
  EXPECT_FALSE(ReadFlag(store, kExtraOptionsKey, true));
}

TEST(Settings, IntegersReadTheTextThenConvertIt) {
  MemoryStore store;
  EXPECT_EQ(ReadInteger(store, "modlist", "Count", 0), 0);
  EXPECT_EQ(ReadInteger(store, "modlist", "Count", 42), 42);
  const std::pair<const char*, std::int32_t> cases[] = {
      {"12", 12}, {"-5", -5},   {"$10", 16}, {"0x1F", 31},      {"$FFFFFFFF", -1},
      {"abc", 9}, {"12abc", 9}, {"", 9},     {"99999999999", 9}};
  for (const auto& [text, expected] : cases) {
    store.WriteString("modlist", "mod1size", text);
    EXPECT_EQ(ReadInteger(store, "modlist", "mod1size", 9), expected) << text;
  }
}

TEST(Settings, TextValuesAreStoredUnchanged) {
  MemoryStore store;
  EXPECT_EQ(ReadText(store, kWhiteListKey), "");
  EXPECT_EQ(ReadText(store, kGameFolderKey, "C:\\x"), "C:\\x");
  WriteText(store, kWhiteListKey, "a.jarb.jar");
  WriteText(store, kGameFolderKey, "D:\\Игры\\");
  EXPECT_EQ(store.ReadString("Settings", "WhiteList", ""), "a.jarb.jar");
  EXPECT_EQ(ReadText(store, kGameFolderKey), "D:\\Игры\\");
}

}  // namespace
}  // namespace veltrane::app
