#include "app/shared_state.h"

#include <gtest/gtest.h>

#include <limits>
#include <thread>
#include <vector>

#include "base/paths.h"
#include "net/server_paths.h"

namespace veltrane::app {
namespace {

TEST(SharedState, ServerAddressesAndCaption) {
  const SharedState state;
  EXPECT_EQ(state.ServerUrl, build::kServerUrl);
  EXPECT_EQ(state.ServerModsPath, "/mods3/");
  EXPECT_EQ(WindowCaption(), "Veltrane v1.2.6 - Dravenna 1.12.2");
}

// Every byte but the unreserved ones and the separators travels as %XX of its UTF-8 encoding.
TEST(ServerPaths, RequestPathsArePercentEncodedAsUtf8) {
  const struct {
    std::string path;
    std::string sent;
  } cases[] = {
      {net::ModPath("Azaz09-._~.jar"), "/mods3/Azaz09-._~.jar"},
      {net::ModPath("Библиотека-1.0.jar"),
       "/mods3/%D0%91%D0%B8%D0%B1%D0%BB%D0%B8%D0%BE%D1%82%D0%B5%D0%BA%D0%B0-1.0.jar"},
      {net::ModPath("a b [c](d)+e'f&g#h%i.jar"),
       "/mods3/a%20b%20%5Bc%5D%28d%29%2Be%27f%26g%23h%25i.jar"},
      {net::ModPath("q?r;s=t,u!v*w@x$y:z"), "/mods3/q%3Fr%3Bs%3Dt%2Cu%21v%2Aw%40x%24y%3Az"},
      {net::ServedFilePath(net::kForgeInstallerName),
       "/forge-1.12.2-14.23.2.2629-installer-win.exe"},
      {std::string(net::kManifestPath), "/Update"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(net::FileUrl("https://h.example/base", c.path), "https://h.example/base" + c.sent)
        << c.path;
  }
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
