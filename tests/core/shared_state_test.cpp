#include "app/shared_state.h"

#include <gtest/gtest.h>

#include <limits>
#include <thread>
#include <vector>

#include "base/paths.h"

namespace veltrane::app {
namespace {

TEST(SharedState, ServerAddressesAndCaption) {
  const SharedState state;
  EXPECT_EQ(state.ServerUrl + state.ServerModsPath + "a b.jar",
            std::string(build::kServerUrl) + "/mods3/a b.jar");
  EXPECT_EQ(WindowCaption(), "Veltrane v1.2.6 - Dravenna 1.12.2");
}

// Windows-style paths in the platform's own separator.
std::string P(std::string text) {
  for (char& c : text) {
    if (c == '\\') c = kPathSep;
  }
  return text;
}

TEST(SharedState, FoldersFollowTheGameFolderByPlainConcatenation) {
  SharedState state;
  state.GameFolder = P("C:\\Users\\Игрок\\AppData\\Roaming\\.minecraft");
  DeriveModsFolders(state);
  EXPECT_EQ(state.ModsFolder, P("C:\\Users\\Игрок\\AppData\\Roaming\\.minecraft\\mods"));
  EXPECT_EQ(state.VersionModsFolder,
            P("C:\\Users\\Игрок\\AppData\\Roaming\\.minecraft\\mods\\1.12.2"));

  state.GameFolder = P("D:\\Games\\");
  DeriveModsFolders(state);
  EXPECT_EQ(state.ModsFolder, P("D:\\Games\\\\mods"));
  EXPECT_EQ(state.VersionModsFolder, P("D:\\Games\\\\mods\\1.12.2"));

  EXPECT_EQ(DataFolderIn(P("C:\\AD")), P("C:\\AD\\Pellwick\\Veltrane"));
  EXPECT_EQ(SettingsIniPath(P("C:\\AD\\Pellwick\\Veltrane")),
            P("C:\\AD\\Pellwick\\Veltrane\\Settings.ini"));
  EXPECT_EQ(ManifestIniPath(P("C:\\AD\\Pellwick\\Veltrane")),
            P("C:\\AD\\Pellwick\\Veltrane\\Update.ini"));
}

TEST(SharedState, LoadedSizeAddsTheLow32BitsAndWraps) {
  SharedState state;
  AddLoadedFile(state, 1000);
  AddLoadedFile(state, 0x1'0000'0005);  // over 4 GiB: only 5 counts
  EXPECT_EQ(state.LoadedCount.load(), 2);
  EXPECT_EQ(state.LoadedSize.load(), 1005);

  state.LoadedSize = std::numeric_limits<std::int32_t>::max();
  AddLoadedFile(state, 1);
  EXPECT_EQ(state.LoadedSize.load(), std::numeric_limits<std::int32_t>::min());
  AddLoadedFile(state, 0xFFFF'FFFF);  // adds -1
  EXPECT_EQ(state.LoadedSize.load(), std::numeric_limits<std::int32_t>::max());
}

TEST(SharedState, AdditionsFromFiveWorkersAreNotLost) {
  SharedState state;
  std::vector<std::thread> workers;
  for (int w = 0; w < 5; ++w) {
    workers.emplace_back([&state] {
      for (int i = 0; i < 20000; ++i) AddLoadedFile(state, 3);
    });
  }
  for (auto& worker : workers) worker.join();
  EXPECT_EQ(state.LoadedCount.load(), 100000);
  EXPECT_EQ(state.LoadedSize.load(), 300000);
}

}  // namespace
}  // namespace veltrane::app
