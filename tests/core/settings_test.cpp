#include "app/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "base/portable_ini.h"
#include "temp_dir.h"

namespace veltrane::app {
namespace {

class Settings : public ::testing::Test {
 protected:
  test::TempDir dir_;
  PortableIniStore store{dir_.Sub("Settings.ini")};
};

TEST_F(Settings, FlagsAreIntegersZeroFalseOtherTrueGarbageDefault) {
  EXPECT_TRUE(ReadFlag(store, kTurboKey, kTurboDefault));  // absent
  EXPECT_FALSE(ReadFlag(store, kTurboKey, false));
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "Settings.ini"));

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

TEST_F(Settings, FlagsAreWrittenAsOneOrZeroInTheSettingsSection) {
  WriteFlag(store, kTurboKey, true);
  WriteFlag(store, kExtraOptionsKey, false);
  EXPECT_EQ(store.ReadString("Settings", "Turbo", ""), "1");
  EXPECT_EQ(store.ReadString("Settings", "ExtraOptions", ""), "0");
  EXPECT_TRUE(ReadFlag(store, kTurboKey, false));
  EXPECT_FALSE(ReadFlag(store, kExtraOptionsKey, true));
}

TEST_F(Settings, IntegersReadTheTextThenConvertIt) {
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

TEST_F(Settings, TextValuesAreStoredUnchanged) {
  EXPECT_EQ(ReadText(store, kWhiteListKey), "");
  EXPECT_EQ(ReadText(store, kGameFolderKey, "C:\\x"), "C:\\x");
  WriteText(store, kWhiteListKey, "a.jarb.jar");
  WriteText(store, kGameFolderKey, "D:\\Игры\\");
  EXPECT_EQ(store.ReadString("Settings", "WhiteList", ""), "a.jarb.jar");
  EXPECT_EQ(ReadText(store, kGameFolderKey), "D:\\Игры\\");
}

}  // namespace
}  // namespace veltrane::app
