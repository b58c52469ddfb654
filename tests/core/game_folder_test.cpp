#include <gtest/gtest.h>

#include "app/launcher_config.h"
#include "app/settings.h"
#include "form_fixture.h"

namespace veltrane::ui {
namespace {

TEST(LauncherConfig, UndoesOnlyTheTwoEscapesOfTheValue) {
  EXPECT_EQ(app::LauncherFolderFromLines({"#Tue Mar 13", "minecraft.gamedir=C\\:\\\\Games\\\\MC"}),
            "C:\\Games\\MC");
  // Other escapes stay, spaces included.
  EXPECT_EQ(
      app::LauncherFolderFromLines({"minecraft.gamedir=D\\:\\\\\\u0418\\u0433\\u0440\\u044B "}),
      "D:\\\\u0418\\u0433\\u0440\\u044B ");
  // The first line with the key counts, wherever the key stands in it; its first 18
  // characters go all the same.
  EXPECT_EQ(app::LauncherFolderFromLines({"#minecraft.gamedir=C\\:\\\\A", "minecraft.gamedir=B"}),
            "=C:\\A");
  EXPECT_EQ(app::LauncherFolderFromLines({"Minecraft.Gamedir=C\\:\\\\A"}), std::nullopt);
  EXPECT_EQ(app::LauncherFolderFromLines({"a=b", "last line"}), std::nullopt);
  EXPECT_EQ(app::LauncherFolderFromLines({}), std::nullopt);
}

TEST(LauncherConfig, LinesEndWithAnyBreak) {
  EXPECT_EQ(app::SplitFileLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(app::SplitFileLines("a\r\n"), std::vector<std::string>{"a"});
}

class GameFolderTest : public test::FormFixture {
 protected:
  GameFolderTest() { form->FormCreate(); }

  std::string Stored(std::string_view key) {
    return app::ReadText(*form->State().SettingsIni, key, "<absent>");
  }
  void Store(std::string_view key, std::string_view value) {
    app::WriteText(*form->State().SettingsIni, key, value);
  }
};

TEST_F(GameFolderTest, FirstStartWithNothingStoredUsesTheDefaultFolder) {
  form->Timer1Timer();
  EXPECT_EQ(form->State().GameFolder, JoinPath(temp.path().string(), ".minecraft"));
  EXPECT_EQ(view.Text(Control::sEdit1), form->State().GameFolder);
  EXPECT_TRUE(view.Checked(Control::sCheckBox1));
  EXPECT_TRUE(view.Checked(Control::sCheckBox2));
  EXPECT_FALSE(view.TimerEnabled(Timer::Timer1));
  EXPECT_TRUE(view.TimerEnabled(Timer::Timer5));
  // Loading creates no settings file.
  EXPECT_FALSE(FileExists(form->State().SettingsIni->Path()));
  const std::vector<std::string> welcome{"[9:05:07]    Добро пожаловать :)",
                                         "   Для начала нажмите «Проверить совместимость»,",
                                         "а затем «Запуск синхронизации», чтобы синхронизировать",
                                         "ваш клиент Minecraft с сервером Dravenna 1.12.2."};
  EXPECT_EQ(form->StatusLog().Lines(), welcome);
}

TEST_F(GameFolderTest, TheLauncherFolderIsUsedWhenNothingIsStored) {
  const std::string game = MakeGameFolder("Игры/MC", true, true, true);
  std::string escaped;
  for (char c : game) escaped += c == ':' ? "\\:" : c == '\\' ? "\\\\" : std::string(1, c);
  WriteLauncherConfig("#launcher\nminecraft.gamedir=" + escaped + "\nlocale=ru\n");
  form->Timer1Timer();
  EXPECT_EQ(form->State().GameFolder, game);
  EXPECT_EQ(form->State().CopyTLButtonTag, 1);
  EXPECT_FALSE(FileExists(JoinPath(form->State().DataFolder, "legacy.properties")));
  EXPECT_EQ(view.Text(Control::sLabel1), "Правильная директория!");
  EXPECT_FALSE(view.Visible(Control::sButtonCopyTL));
}

TEST_F(GameFolderTest, StoredFolderPrecedence) {
  WriteLauncherConfig("minecraft.gamedir=L\n");
  Store(app::kGameFolderKey, "S");
  form->Folder().LoadSettings();
  EXPECT_EQ(form->State().GameFolder, "S");

  Store(app::kGameFolderKey, "");
  form->Folder().LoadSettings();
  EXPECT_EQ(form->State().GameFolder, "L");

  // Without the launcher's file a stored empty folder stays empty.
  std::filesystem::remove(temp.path() / ".tlauncher" / "legacy.properties");
  form->Folder().LoadSettings();
  EXPECT_EQ(form->State().GameFolder, "");
}

TEST_F(GameFolderTest, TheWatchStartsEvenWhenTheLauncherFileCannotBeRead) {
  // A folder in the copy's place: the copy fails and reading it raises an error.
  WriteLauncherConfig("minecraft.gamedir=L\n");
  ForceDirectories(JoinPath(form->State().DataFolder, "legacy.properties"));
  EXPECT_THROW(form->Timer1Timer(), std::runtime_error);
  EXPECT_FALSE(view.TimerEnabled(Timer::Timer1));
  EXPECT_TRUE(view.TimerEnabled(Timer::Timer5));
}

TEST_F(GameFolderTest, ALauncherFileWithoutTheKeyNamesNoFolder) {
  WriteLauncherConfig("locale=ru\nlast line\n");
  form->Timer1Timer();
  EXPECT_EQ(form->State().GameFolder, JoinPath(temp.path().string(), ".minecraft"));
  EXPECT_EQ(form->State().CopyTLButtonTag, 0);
  EXPECT_FALSE(view.Visible(Control::sButtonCopyTL));
}

TEST_F(GameFolderTest, StoredFlagsFollowTheIntegerRule) {
  Store(app::kTurboKey, "0");
  Store(app::kExtraOptionsKey, "yes");
  form->Folder().LoadSettings();
  EXPECT_FALSE(view.Checked(Control::sCheckBox1));
  EXPECT_TRUE(view.Checked(Control::sCheckBox2));
}

TEST_F(GameFolderTest, AValidFolderShowsTheActionsAndGrowsTheCompactWindowCentred) {
  form->State().GameFolder = MakeGameFolder("mc", true, true, true);
  form->Folder().ValidateGameFolder();
  EXPECT_EQ(view.Text(Control::sLabel1), "Правильная директория!");
  EXPECT_TRUE(view.Visible(Control::sGroupBox3));
  EXPECT_TRUE(view.Enabled(Control::sGroupBox3));
  EXPECT_TRUE(view.title_items[0]);
  EXPECT_TRUE(view.title_items[1]);
  EXPECT_EQ(form->State().VersionModsFolder,
            JoinPath(JoinPath(form->State().GameFolder, "mods"), "1.12.2"));
  FinishAnimations();
  EXPECT_EQ(view.window.bounds.height, 294);
  EXPECT_EQ(view.window.bounds.width, 406);
  EXPECT_EQ(view.window.bounds.left, 1280 / 2 - 406 / 2);
  EXPECT_EQ(view.window.bounds.top, 1024 / 2 - 294 / 2);
}

TEST_F(GameFolderTest, VerdictsOfIncompleteFolders) {
  form->State().GameFolder = MakeGameFolder("no112", true, true, false);
  form->Folder().ValidateGameFolder();
  EXPECT_EQ(view.Text(Control::sLabel1), "Версия 1.12.2 отсутствует!");
  EXPECT_FALSE(view.Visible(Control::sGroupBox3));
  EXPECT_FALSE(view.title_items[0]);
  EXPECT_FALSE(view.title_items[1]);
  EXPECT_FALSE(IsAnimating());  // already compact

  form->State().GameFolder = MakeGameFolder("noassets", true, false, true);
  form->Folder().ValidateGameFolder();
  EXPECT_EQ(view.Text(Control::sLabel1), "Неправильный путь к папке с игрой!");
}

TEST_F(GameFolderTest, AFolderTurningInvalidShrinksTheWideWindowUnlessItIsBeingHandedBack) {
  view.window.bounds = {10, 20, 830, 294};
  form->State().GameFolder = temp.Sub("gone");
  form->State().MainWindowTag = 1;
  form->Folder().ValidateGameFolder();
  EXPECT_FALSE(IsAnimating());

  form->State().MainWindowTag = 0;
  form->Folder().ValidateGameFolder();
  FinishAnimations();
  EXPECT_EQ(view.window.bounds.width, 406);
  EXPECT_EQ(view.window.bounds.height, 133);
  EXPECT_EQ(view.window.bounds.top, 1024 / 2 - 97 / 2);
}

TEST_F(GameFolderTest, TLFollowsTheLauncherFolderWithLatinOnlyCaseFolding) {
  form->State().CopyTLButtonTag = 1;
  form->State().GameFolder = "C:\\Games\\Папка";
  form->State().LauncherGameFolder = "c:\\GAMES\\Папка";
  form->Folder().ValidateGameFolder();
  EXPECT_FALSE(view.Visible(Control::sButtonCopyTL));
  EXPECT_FALSE(IsAnimating());

  form->State().LauncherGameFolder = "C:\\Games\\папка";
  form->Folder().ValidateGameFolder();
  EXPECT_TRUE(view.Visible(Control::sButtonCopyTL));
  EXPECT_TRUE(view.Enabled(Control::sButtonCopyTL));
  FinishAnimations();
  EXPECT_EQ(view.Bounds(Control::sButtonSetFolder).width, 329);
  EXPECT_EQ(CurrentAnimationTask(), "CopyTL");
}

TEST_F(GameFolderTest, RunningGameIsWarnedAboutThenClosedWithTheWatchPaused) {
  desktop.game_window_class = "LWJGL";
  desktop.game_window_title = "Minecraft 1.12.2";
  desktop.game_window = 42;
  desktop.running_process = "javaw.exe";
  view.timers[Timer::Timer5] = true;
  bool timer_during_box = true;
  desktop.on_message = [&] { timer_during_box = view.TimerEnabled(Timer::Timer5); };
  form->Folder().ValidateGameFolder();
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].caption, "Предупреждение");
  EXPECT_EQ(desktop.messages[0].text.rfind("Пожалуйста не запускайте игру\r\nкогда открыт", 0), 0u);
  EXPECT_NE(desktop.messages[0].text.find("после нажатия \"ОК\" она будет закрыта"),
            std::string::npos);
  EXPECT_EQ(desktop.messages[0].icon, Desktop::Icon::Warning);
  EXPECT_FALSE(timer_during_box);
  EXPECT_EQ(desktop.closed_windows, std::vector<std::uintptr_t>{42});
  EXPECT_EQ(desktop.closed_as, std::vector<std::string>{"javaw.exe"});  // no other owner ends
  EXPECT_TRUE(view.TimerEnabled(Timer::Timer5));
}

TEST_F(GameFolderTest, NoWarningWithoutBothTheWindowAndTheProcess) {
  desktop.game_window_class = "LWJGL";
  desktop.game_window_title = "Minecraft 1.10.2";
  desktop.game_window = 42;
  desktop.running_process = "javaw.exe";
  form->Folder().ValidateGameFolder();
  desktop.game_window_title = "Minecraft 1.12.2";
  desktop.running_process = "java.exe";
  form->Folder().ValidateGameFolder();
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_TRUE(desktop.closed_windows.empty());
}

TEST_F(GameFolderTest, CancelInTheFolderDialogStillStoresAndValidates) {
  form->Folder().LoadSettings();
  const std::string before = form->State().GameFolder;
  form->sButtonSetFolderClick();
  EXPECT_EQ(desktop.browse_starts, std::vector<std::string>{before});
  EXPECT_EQ(form->State().GameFolder, before);
  EXPECT_EQ(Stored(app::kGameFolderKey), before);
  EXPECT_EQ(Stored(app::kTurboKey), "1");
  EXPECT_EQ(view.Text(Control::sLabel1), "Неправильный путь к папке с игрой!");

  const std::string chosen = MakeGameFolder("chosen", true, true, true);
  desktop.browse_result = chosen;
  view.controls[Control::sCheckBox1].checked = false;
  form->sButtonSetFolderClick();
  EXPECT_EQ(form->State().GameFolder, chosen);
  EXPECT_EQ(Stored(app::kGameFolderKey), chosen);
  EXPECT_EQ(Stored(app::kTurboKey), "0");
  EXPECT_EQ(view.Text(Control::sLabel1), "Правильная директория!");
}

TEST_F(GameFolderTest, TLTakesTheLauncherFolderAndStoresIt) {
  WriteLauncherConfig("minecraft.gamedir=L\\:\\\\mc\n");
  form->sButtonCopyTLClick();
  EXPECT_EQ(form->State().GameFolder, "L:\\mc");
  EXPECT_EQ(view.Text(Control::sEdit1), "L:\\mc");
  EXPECT_EQ(Stored(app::kGameFolderKey), "L:\\mc");
  EXPECT_EQ(desktop.browse_starts.size(), 0u);
  form->sButtonSetFolderClick();
  EXPECT_EQ(desktop.browse_starts.back(), "L:\\mc");
}

TEST_F(GameFolderTest, ReturnFromCleanupFlagClearsOnceTheWindowIsWide) {
  form->State().MainWindowTag = 1;
  view.window.bounds = {0, 0, 700, 294};
  form->Timer5Timer();
  EXPECT_EQ(form->State().MainWindowTag, 1);
  view.window.bounds = {0, 0, 830, 294};
  form->Timer5Timer();
  EXPECT_EQ(form->State().MainWindowTag, 0);
}

}  // namespace
}  // namespace veltrane::ui
