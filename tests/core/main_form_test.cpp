#include "ui/main_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "base/paths.h"
#include "form_fixture.h"

namespace veltrane::ui {
namespace {

using MainFormTest = test::FormFixture;

TEST_F(MainFormTest, CreationSizesTheWindowAndSetsUpTheState) {
  form->FormCreate();
  EXPECT_EQ(view.window.bounds.width, 406);
  EXPECT_EQ(view.window.bounds.height, 133);
  EXPECT_EQ(view.skin, "Emerald (internal)");
  EXPECT_EQ(view.caption, "Veltrane v1.2.6 - Dravenna 1.12.2");
  const auto& state = form->State();
  EXPECT_EQ(state.DataFolder, JoinPath(JoinPath(desktop.appdata, "Pellwick"), "Veltrane"));
  EXPECT_TRUE(DirectoryExists(state.DataFolder));
  ASSERT_TRUE(state.SettingsIni && state.ManifestIni);
  EXPECT_EQ(state.SettingsIni->Path(), app::SettingsIniPath(state.DataFolder));
  EXPECT_EQ(state.ManifestIni->Path(), app::ManifestIniPath(state.DataFolder));
  EXPECT_EQ(state.ServerModsPath, "/mods3/");
  // Opening the INI files touches neither.
  EXPECT_FALSE(FileExists(state.SettingsIni->Path()));
}

TEST_F(MainFormTest, EveryLayoutControlIsInTheTableOnce) {
  for (int i = 0; i <= static_cast<int>(Control::Button1); ++i) {
    int found = 0;
    for (const ControlLayout& entry : kMainLayout) found += entry.control == Control(i);
    EXPECT_EQ(found, 1) << "control " << i;
  }
}

TEST_F(MainFormTest, ShowingParksTheFocusOnTheSink) {
  form->FormShow();
  EXPECT_EQ(view.focused, Control::Button1);
}

TEST_F(MainFormTest, CloseIsRefusedThenTheWindowFadesOutAndEndsOnTheSixteenthTick) {
  view.window.bounds = {300, 200, 830, 294};
  view.timers[Timer::Timer5] = true;
  EXPECT_FALSE(form->FormCloseQuery());
  EXPECT_EQ(form->State().Timer6Tag, 1);
  EXPECT_TRUE(view.TimerEnabled(Timer::Timer6));

  std::vector<int> alphas;
  int ticks_to_end = 0;
  while (!view.ending && ticks_to_end < 100) {
    form->Timer6Timer();
    ticks.Tick();  // the animation timer runs between dispatcher ticks
    alphas.push_back(view.alpha);
    ++ticks_to_end;
  }
  EXPECT_EQ(ticks_to_end, 16);
  EXPECT_EQ(alphas.front(), 238);
  EXPECT_EQ(alphas[14], 0);
  EXPECT_FALSE(view.TimerEnabled(Timer::Timer5));
  EXPECT_EQ(CurrentAnimationTask(), "Closing");
  // The collapse heads for a 36-pixel strip whose top is the former middle of the window.
  FinishAnimations();
  EXPECT_EQ(view.window.bounds.height, 36);
  EXPECT_EQ(view.window.bounds.top, 200 + 294 - 294 / 2);
  EXPECT_EQ(view.window.bounds.width, 830);
}

TEST_F(MainFormTest, CollapseStopsTheRunningAnimationAndIsAskedForOnce) {
  view.window.bounds = {300, 200, 830, 294};
  AnimateControl(&view.window, 9999, 9999, 9999, 133, 0.2, "size");
  form->FormCloseQuery();
  form->Timer6Timer();  // the engine has not ticked: "size" is still the current task
  form->Timer6Timer();
  EXPECT_EQ(engine.PendingCount(), 1u);  // the collapse alone, queued once
  ticks.Tick();
  EXPECT_EQ(CurrentAnimationTask(), "Closing");
  form->Timer6Timer();
  EXPECT_EQ(engine.PendingCount(), 0u);
  EXPECT_EQ(view.alpha, 255 - 3 * 17);
}

TEST_F(MainFormTest, TheWindowShrinksWhileItFadesWhenTheFadeTimerAlwaysFiresFirst) {
  view.window.bounds = {300, 200, 830, 294};
  form->FormCloseQuery();
  std::vector<int> heights;
  while (!view.ending && heights.size() < 100) {
    form->Timer6Timer();
    ticks.TickIfDue();  // the engine's timer fires after the fade's, unless it was just restarted
    heights.push_back(view.window.bounds.height);
  }
  ASSERT_EQ(heights.size(), 16u);
  EXPECT_EQ(view.alpha, 0);
  for (std::size_t i = 2; i < heights.size(); ++i) EXPECT_LT(heights[i], heights[i - 1]) << i;
}

TEST_F(MainFormTest, ConsoleShapes) {
  form->Console(1, false, "=====Проверка совместимости=====");
  form->Console("Конфиг загружен.");
  form->Console(false, "Всего модов на сервере: 0 шт. (0 Байт)");
  form->Console(kHeading, "Режим турбо снова активен!\r\n   Наслаждайтесь скоростью:)");
  const std::vector<std::string> expected{
      "=====Проверка совместимости=====",       "[9:05:07] Конфиг загружен.",
      "Всего модов на сервере: 0 шт. (0 Байт)", " ",
      "[9:05:07] Режим турбо снова активен!",   "   Наслаждайтесь скоростью:)"};
  EXPECT_EQ(form->StatusLog().Lines(), expected);
}

TEST_F(MainFormTest, DoubleClickOnThePathCopiesItAndHoldsTheMessageForAFullPeriod) {
  view.controls[Control::sEdit1].text = "C:\\Games\\.minecraft";
  view.timers[Timer::Timer5] = true;
  form->sEdit1DblClick();
  EXPECT_EQ(desktop.clipboard, "C:\\Games\\.minecraft");
  EXPECT_EQ(view.Text(Control::sEdit1), "C:\\Games\\.minecraft");
  EXPECT_EQ(view.Text(Control::sLabel1), "Скопировано в буфер обмена");
  ASSERT_GE(view.timer_log.size(), 2u);
  EXPECT_EQ(view.timer_log[view.timer_log.size() - 2], std::make_pair(Timer::Timer5, false));
  EXPECT_EQ(view.timer_log.back(), std::make_pair(Timer::Timer5, true));
}

TEST_F(MainFormTest, StatusFileHoldsEveryLineInTheAnsiCodePageAndOpensInNotepad) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(temp.path());
  form->Console(1, false, "=====Загрузка=====");
  form->Console(1, false, "второй\r\nтретий");
  form->sMemo1DblClick();
  const std::string bytes = test::ReadFileBytes(temp.Sub("Veltrane - Статус.txt"));
  std::filesystem::current_path(previous);
  EXPECT_EQ(bytes, "<=====Загрузка=====>\r\n< >\r\n<второй>\r\n<третий>\r\n");
  ASSERT_EQ(desktop.commands.size(), 1u);
  EXPECT_EQ(desktop.commands[0].first, "notepad.exe \"Veltrane - Статус.txt\"");
  EXPECT_EQ(desktop.commands[0].second, 5);
}

TEST_F(MainFormTest, OpenExploresOnlyAnExistingFolder) {
  form->State().GameFolder = temp.Sub("missing");
  form->sButtonOpenFolderClick();
  EXPECT_TRUE(desktop.explored.empty());
  form->State().GameFolder = temp.path().string();
  form->sButtonOpenFolderClick();
  EXPECT_EQ(desktop.explored, std::vector<std::string>{temp.path().string()});
}

TEST_F(MainFormTest, DragIsIgnoredWhileAnAnimationRuns) {
  AnimateControl(&view.window, 0, 9999, 9999, 9999, 0.2, "size");
  form->sLabel1MouseDown();
  EXPECT_EQ(view.drags, 0);
  FinishAnimations();
  form->sLabel1MouseDown();
  EXPECT_EQ(view.drags, 1);
  EXPECT_EQ(view.focused, Control::Button1);
}

TEST_F(MainFormTest, ExitAsksTheWindowToClose) {
  form->sButtonExitClick();
  EXPECT_EQ(view.close_requests, 1);
}

TEST_F(MainFormTest, MouseOverTheActionsGroupWidensOnceAtTheActionsHeight) {
  view.window.bounds = {437, 365, 406, 294};
  form->sGroupBox3MouseMove();
  EXPECT_TRUE(view.Visible(Control::sGroupBox1));
  FinishAnimations();
  EXPECT_EQ(view.window.bounds.width, 830);
  EXPECT_EQ(view.window.bounds.left, 1280 / 2 - 830 / 2);
  EXPECT_EQ(view.window.bounds.top, 1024 / 2 - 294 / 2);

  // With the progress row showing the height is not the actions height: no widening.
  view.window.bounds = {10, 10, 406, 317};
  view.controls[Control::sGroupBox1].visible = false;
  form->sGroupBox3MouseMove();
  EXPECT_FALSE(IsAnimating());
  EXPECT_TRUE(view.Visible(Control::sGroupBox1));
}

}  // namespace
}  // namespace veltrane::ui
