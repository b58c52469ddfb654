#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "build_config.h"
#include "form_fixture.h"
#include "signed_manifest.h"

namespace veltrane::ui {
namespace {

class DownloadRunTest : public test::FormFixture {
 protected:
  explicit DownloadRunTest(std::string_view pack_key = "") : FormFixture(pack_key) {
    form->FormCreate();
    game = MakeGameFolder("game", true, true, true);
    form->State().GameFolder = game;
    app::DeriveModsFolders(form->State());
    ForceDirectories(form->State().VersionModsFolder);
    view.window.bounds = {100, 100, 830, 294};
    view.controls[Control::sButtonDownload].enabled = true;
    // One stream and no extra tool after the run, unless a test says otherwise.
    view.controls[Control::sCheckBox1].checked = false;
    view.controls[Control::sCheckBox2].checked = false;
    form->SetCleanupOpener([this] { ++cleanups; });
  }

  std::vector<std::string> LinesFrom(std::size_t first) {
    const auto& lines = form->StatusLog().Lines();
    return {lines.begin() + static_cast<std::ptrdiff_t>(first), lines.end()};
  }

  std::string game;
  int cleanups = 0;
  const std::string mods = std::string(build::kServerUrl) + "/mods3/";
};

TEST_F(DownloadRunTest, SequentialRunWithAStrayCopyAndAFailure) {
  form->State().MissingMods = {"a.jar", "b.jar", "c.jar"};
  server.Put(mods + "a.jar", std::string(1536, 'a'));
  temp.Write("game/mods/b.jar", std::string(512, 'b'));  // put there meanwhile
  form->sButtonDownloadClick();

  const std::vector<std::string> expected{
      "============Загрузка============",      "[9:05:07] Успешно: a.jar",
      "[9:05:07] Уже существует: b.jar",       "[9:05:07]  ! Ошибка загрузки: c.jar",
      "======Завершение загрузки=======",      "Прошло времени: 0:00:00",
      "Объем загруженых файлов(2 из 3): 2 Кб", " ",
      "! Не все файлы были загружены !"};
  EXPECT_EQ(LinesFrom(0), expected);
  EXPECT_EQ(test::ReadFileBytes(JoinPath(form->State().VersionModsFolder, "b.jar")).size(), 512u);
  EXPECT_FALSE(FileExists(JoinPath(form->State().ModsFolder, "b.jar")));
  EXPECT_FALSE(FileExists(JoinPath(form->State().VersionModsFolder, "c.jar")));
  EXPECT_EQ(view.window.bounds.height, 294);  // back from the one-bar mode
  EXPECT_FALSE(view.Visible(Control::sProgressBar1));
  EXPECT_TRUE(view.window_enabled);
  EXPECT_FALSE(view.Enabled(Control::sButtonDownload));
  EXPECT_EQ(cleanups, 0);
}

TEST_F(DownloadRunTest, AllLoadedThenTheToolAndTheCleanup) {
  view.controls[Control::sCheckBox2].checked = true;
  form->State().MissingMods = {"a.jar"};
  form->State().RemovableFiles = {"old.jar"};
  server.Put(mods + "a.jar", "a");
  server.Put(std::string(build::kServerUrl) + "/Settingss.exe", "tool");
  form->sButtonDownloadClick();
  const auto& lines = form->StatusLog().Lines();
  EXPECT_EQ(lines.back(), "Объем загруженых файлов(1 из 1): 1 Байт");
  EXPECT_EQ(desktop.opened_files.size(), 1u);  // the tool, before the summary
  EXPECT_EQ(cleanups, 1);
  EXPECT_TRUE(view.window_enabled);
}

TEST_F(DownloadRunTest, OnlyRemovableFilesOpensTheCleanupAtOnce) {
  form->State().RemovableFiles = {"old.jar"};
  form->sButtonDownloadClick();
  EXPECT_EQ(cleanups, 1);
  EXPECT_TRUE(form->StatusLog().Lines().empty());
  EXPECT_FALSE(view.window_enabled);  // the dialog hands the window back
}

TEST_F(DownloadRunTest, TurboHandsTheRunToTheDispatcher) {
  view.controls[Control::sCheckBox1].checked = true;
  form->State().MissingMods = {"a.jar", "b.jar", "c.jar"};
  form->sButtonDownloadClick();
  EXPECT_EQ(form->State().ModIndex, 3);
  EXPECT_TRUE(view.TimerEnabled(Timer::Timer6));
  EXPECT_FALSE(view.window_enabled);
  EXPECT_EQ(view.window.bounds.height, 317);
  for (int bar = 1; bar <= 5; ++bar) EXPECT_TRUE(view.Visible(ProgressBarControl(bar)));
}

TEST_F(DownloadRunTest, NoConnectionChangesNothing) {
  server.connected = false;
  form->State().MissingMods = {"a.jar"};
  form->sButtonDownloadClick();
  EXPECT_EQ(form->StatusLog().Lines(),
            (std::vector<std::string>{"[9:05:07] Ошибка подключения к серверу.",
                                      "[9:05:07] Операция отменена."}));
  EXPECT_TRUE(view.Enabled(Control::sButtonDownload));
  EXPECT_TRUE(view.window_enabled);
}

TEST_F(DownloadRunTest, AnEmptyOrUnsafeNameFailsWithoutTouchingAnything) {
  form->State().MissingMods = {"", "..\\x.jar", "../y.jar"};
  server.Put(mods + "../y.jar", "y");
  server.Put(mods + "..\\x.jar", "x");
  form->sButtonDownloadClick();
  const auto& lines = form->StatusLog().Lines();
  EXPECT_EQ(lines[1], "[9:05:07]  ! Ошибка загрузки: ");
  EXPECT_EQ(lines[2], "[9:05:07]  ! Ошибка загрузки: ..\\x.jar");
  EXPECT_EQ(lines[3], "[9:05:07]  ! Ошибка загрузки: ../y.jar");
  EXPECT_FALSE(FileExists(JoinPath(form->State().ModsFolder, "y.jar")));
  EXPECT_TRUE(server.Opened().empty());
  EXPECT_TRUE(view.window_enabled);
}

TEST_F(DownloadRunTest, PublishedHashesDecideTheTransfersAndTheStrayCopies) {
  form->State().MissingMods = {"good.jar", "tampered.jar", "stray.jar", "other-stray.jar",
                               "longer.jar"};
  form->State().MissingHashes = {{"good.jar", {test::Sha256Hex("good")}},
                                 {"tampered.jar", {test::Sha256Hex("published")}},
                                 {"stray.jar", {test::Sha256Hex("stray")}},
                                 {"other-stray.jar", {test::Sha256Hex("published")}},
                                 // its hash, but more bytes than the published size
                                 {"longer.jar", {test::Sha256Hex("longer"), 5}}};
  server.Put(mods + "good.jar", "good");
  server.Put(mods + "tampered.jar", "tampered");
  server.Put(mods + "other-stray.jar", "published");
  server.Put(mods + "longer.jar", "longer");
  temp.Write("game/mods/stray.jar", "stray");
  temp.Write("game/mods/other-stray.jar", "an older copy");
  form->sButtonDownloadClick();

  const std::vector<std::string> expected{
      "[9:05:07] Успешно: good.jar", "[9:05:07]  ! Ошибка загрузки: tampered.jar",
      "[9:05:07] Уже существует: stray.jar", "[9:05:07] Успешно: other-stray.jar",
      "[9:05:07]  ! Ошибка загрузки: longer.jar"};
  const std::vector<std::string> lines = LinesFrom(1);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5), expected);
  const std::string& version = form->State().VersionModsFolder;
  EXPECT_FALSE(FileExists(JoinPath(version, "tampered.jar")));
  EXPECT_EQ(test::ReadFileBytes(JoinPath(version, "other-stray.jar")), "published");
  EXPECT_EQ(test::ReadFileBytes(JoinPath(form->State().ModsFolder, "other-stray.jar")),
            "an older copy");  // left where it was
  EXPECT_EQ(test::ReadFileBytes(JoinPath(version, "stray.jar")), "stray");
}

// The one-stream run waits for each transfer beside the window: the window's work goes on, and
// when the program is asked to end meanwhile the transfer stops, leaves nothing, and the run
// ends without a word more.
TEST_F(DownloadRunTest, AOneStreamRunAnswersAndEndsWhenTheProgramIsAskedToEnd) {
  form->State().MissingMods = {"a.jar", "b.jar"};
  form->State().MissingHashes = {{"a.jar", {test::Sha256Hex("a body")}}};
  server.Put(mods + "a.jar", "a body");
  server.Put(mods + "b.jar", "b body");
  server.HoldBodies();
  bool answered = false;
  std::thread closer([&] {
    server.AwaitHeldReads(1);
    ui.Post([&] { answered = true; });  // runs while the transfer is held
    ui.Post([&] { ui.RequestQuit(); });
  });
  form->sButtonDownloadClick();
  closer.join();
  EXPECT_TRUE(answered);
  EXPECT_EQ(LinesFrom(0), std::vector<std::string>{"============Загрузка============"});
  EXPECT_EQ(server.Opened(), std::vector<std::string>{mods + "a.jar"});
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(form->State().VersionModsFolder)) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_TRUE(left.empty());
}

class KeyedDownloadRunTest : public DownloadRunTest {
 protected:
  KeyedDownloadRunTest() : DownloadRunTest(test::kSignerPublicKey) {}
};

TEST_F(KeyedDownloadRunTest, AModWithoutAPublishedHashIsRefusedWithoutARequest) {
  form->State().MissingMods = {"a.jar", "b.jar", "c.jar"};
  form->State().MissingHashes = {{"a.jar", {test::Sha256Hex("a")}}};
  server.Put(mods + "a.jar", "a");
  for (const char* name : {"b.jar", "c.jar"}) server.Put(mods + name, "x");
  temp.Write("game/mods/c.jar", "stray");
  form->sButtonDownloadClick();

  const std::vector<std::string> lines = LinesFrom(1);
  EXPECT_EQ(
      std::vector<std::string>(lines.begin(), lines.begin() + 3),
      (std::vector<std::string>{"[9:05:07] Успешно: a.jar", "[9:05:07]  ! Ошибка загрузки: b.jar",
                                "[9:05:07]  ! Ошибка загрузки: c.jar"}));
  EXPECT_EQ(server.Opened(), std::vector<std::string>{mods + "a.jar"});
  EXPECT_TRUE(FileExists(JoinPath(form->State().ModsFolder, "c.jar")));
  EXPECT_FALSE(FileExists(JoinPath(form->State().VersionModsFolder, "c.jar")));
}

}  // namespace
}  // namespace veltrane::ui
