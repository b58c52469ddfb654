#include "app/profile_ini.h"

#include <windows.h>
#include <gtest/gtest.h>

#include "base/portable_ini.h"
#include "base/wide.h"
#include "ini_contract.h"

namespace veltrane::test {
namespace {

app::IniCodec AnsiCodec() {
  return app::IniCodec{win32::FromAnsi, win32::ToAnsi};
}

INSTANTIATE_TEST_SUITE_P(
    Win32, IniContract,
    ::testing::Values(IniStoreMaker{"Profile",
                                    [](const std::string& path) {
                                      return std::make_unique<win32::ProfileIniStore>(path);
                                    },
                                    win32::ToAnsi},
                      IniStoreMaker{"PortableAnsi",
                                    [](const std::string& path) {
                                      return std::make_unique<app::PortableIniStore>(path,
                                                                                     AnsiCodec());
                                    },
                                    win32::ToAnsi}),
    MakerName);

TEST(ProfileIniStore, CyrillicIsStoredAsOneByteOfCodePage1251) {
  TempDir dir;
  const std::string path = dir.Sub("cp.ini");
  win32::ProfileIniStore(path).WriteString("Settings", "WhiteList", "Ж");
  EXPECT_EQ(ReadFileBytes(path), "[Settings]\r\nWhiteList=\xC6\r\n");
}

// Either store must read what the other wrote: the program may meet files from both.
TEST(ProfileIniStore, AgreesWithThePortableStoreOnEachOthersFiles) {
  TempDir dir;
  const std::string path = dir.Sub("both.ini");
  win32::ProfileIniStore profile(path);
  app::PortableIniStore portable(path, AnsiCodec());

  profile.WriteString("Settings", "GameFolder", "C:\\Игры\\");
  portable.WriteString("Settings", "Turbo", "0");
  profile.WriteString("settings", "ExtraOptions", "1");
  portable.WriteString("Other", "k", "v");
  profile.WriteString("SETTINGS", "turbo", "1");

  for (const app::IniStore* store : {static_cast<const app::IniStore*>(&profile),
                                     static_cast<const app::IniStore*>(&portable)}) {
    EXPECT_EQ(store->ReadString("Settings", "GameFolder", ""), "C:\\Игры\\");
    EXPECT_EQ(store->ReadString("Settings", "Turbo", ""), "1");
    EXPECT_EQ(store->ReadString("Settings", "ExtraOptions", ""), "1");
    EXPECT_EQ(store->ReadString("Other", "k", ""), "v");
    EXPECT_EQ(store->ReadKeys("Settings"),
              (std::vector<std::string>{"GameFolder", "Turbo", "ExtraOptions"}));
  }
}

TEST(ProfileIniStore, ARelativePathMeansTheCurrentFolderNotTheWindowsFolder) {
  TempDir dir;
  wchar_t previous[MAX_PATH];
  ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(win32::Widen(PathText(dir.path())).c_str()));
  win32::ProfileIniStore store("relative.ini");
  SetCurrentDirectoryW(previous);

  EXPECT_EQ(store.Path(), dir.Sub("relative.ini"));
  store.WriteString("S", "k", "v");
  EXPECT_EQ(ReadFileBytes(dir.Sub("relative.ini")), "[S]\r\nk=v\r\n");
}

TEST(ProfileIniStore, LongKeyListsAreReadInFull) {
  TempDir dir;
  std::string text = "[modlist]\r\n";
  std::vector<std::string> expected;
  std::vector<std::pair<std::string, std::string>> section;
  for (int i = 1; i <= 600; ++i) {
    expected.push_back("mod" + std::to_string(i) + "size");
    section.emplace_back(expected.back(), std::to_string(i));
    text += expected.back() + "=" + std::to_string(i) + "\r\n";
  }
  const win32::ProfileIniStore store(dir.Write("many.ini", text));
  EXPECT_EQ(store.ReadKeys("modlist"), expected);
  EXPECT_EQ(store.ReadSection("modlist"), section);
}

}  // namespace
}  // namespace veltrane::test
