#include <gtest/gtest.h>

#include "app/settings.h"
#include "form_fixture.h"
#include "ui/texts.h"

namespace veltrane::ui {
namespace {

class OptionsTest : public test::FormFixture {
 protected:
  OptionsTest() {
    form->FormCreate();
    form->State().GameFolder = "C:\\Games\\MC";
    form->Console("first line");
  }
  std::string Stored(std::string_view key) {
    return app::ReadText(*form->State().SettingsIni, key, "<absent>");
  }
};

TEST_F(OptionsTest, TurboTwiceFromCheckedLogsBothHeadingsAndStoresTrue) {
  view.controls[Control::sCheckBox1].checked = false;  // the click unchecked it
  form->sCheckBox1MouseUp();
  EXPECT_EQ(Stored(app::kTurboKey), "0");
  EXPECT_EQ(Stored(app::kGameFolderKey), "C:\\Games\\MC");
  view.controls[Control::sCheckBox1].checked = true;
  form->sCheckBox1MouseUp();
  EXPECT_EQ(Stored(app::kTurboKey), "1");
  EXPECT_EQ(Stored(app::kExtraOptionsKey), "1");
  const auto& lines = form->StatusLog().Lines();
  const std::vector<std::string> expected{
      "[9:05:07] first line",
      " ",
      "[9:05:07] Режим турбо деактивирован.",
      "   Вы уверены что хотите отключить турбо? Этот",
      "режим активирует пять потоков загрузки, что позволяет",
      "ускорить загрузку в разы, но тем не менее, если возникают",
      "ошибки, то можете попробовать его отключить.",
      " ",
      "[9:05:07] Режим турбо снова активен!",
      "   Наслаждайтесь скоростью:)"};
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(view.focused, Control::Button1);
}

TEST_F(OptionsTest, SetupsTextsFollowTheStateTheBoxIsIn) {
  // A release of another button leaves the box as it was: its text and a save all the same.
  form->sCheckBox2MouseUp();
  EXPECT_EQ(form->StatusLog().Lines()[2],
            "[9:05:07]    Доп. настройки будут открыты при следующем");
  EXPECT_EQ(Stored(app::kExtraOptionsKey), "1");
  view.controls[Control::sCheckBox2].checked = false;
  form->sCheckBox2MouseUp();
  const auto& lines = form->StatusLog().Lines();
  EXPECT_EQ(lines[lines.size() - 3], "[9:05:07]    Дополнительные настройки больше не откроются.");
  EXPECT_EQ(Stored(app::kExtraOptionsKey), "0");
}

TEST_F(OptionsTest, ChangeLogIsWrittenForNotepad) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(temp.path());
  form->sTitleBar1Items0Click();
  const std::string bytes = test::ReadFileBytes(temp.Sub("Veltrane - ChangeLog.txt"));
  std::filesystem::current_path(previous);
  const auto lines = SplitConsoleText(bytes);
  ASSERT_EQ(lines.size(), 28u);  // 27 lines, each ended by CR LF
  EXPECT_EQ(lines[0], "<ChangeLog Veltrane>");
  EXPECT_EQ(lines[6], "<>");
  EXPECT_EQ(lines[26], "<- * Программа оптимизирована под сервер MineCraft Dravenna 1.10.2.>");
  EXPECT_EQ(lines[27], "");
  ASSERT_EQ(desktop.commands.size(), 1u);
  EXPECT_EQ(desktop.commands[0].first, "notepad.exe \"Veltrane - ChangeLog.txt\"");
}

}  // namespace
}  // namespace veltrane::ui
