#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/shared_state.h"
#include "base/ini_store.h"
#include "base/paths.h"
#include "base/u8path.h"
#include "fake_cleanup_view.h"
#include "form_fixture.h"
#include "sync/cleanup_form.h"
#include "sync/whitelist.h"

namespace veltrane::sync {
namespace {

// Settings that read through to the real file but cannot be written, like a read-only file.
class UnwritableIni : public app::IniStore {
 public:
  explicit UnwritableIni(std::unique_ptr<app::IniStore> inner) : inner_(std::move(inner)) {}
  const std::string& Path() const override { return inner_->Path(); }
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const override {
    return inner_->ReadString(section, key, def);
  }
  std::vector<std::string> ReadKeys(std::string_view section) const override {
    return inner_->ReadKeys(section);
  }
  std::vector<std::pair<std::string, std::string>> ReadSection(
      std::string_view section) const override {
    return inner_->ReadSection(section);
  }
  void WriteString(std::string_view, std::string_view, std::string_view) override {
    throw app::IniWriteError(Path());
  }

 private:
  std::unique_ptr<app::IniStore> inner_;
};

class CleanupDialogTest : public test::FormFixture {
 protected:
  CleanupDialogTest() {
    form->FormCreate();
    app::SharedState& state = form->State();
    state.GameFolder = MakeGameFolder("game", true, true, true);
    app::DeriveModsFolders(state);
    ForceDirectories(state.VersionModsFolder);
    dialog = std::make_unique<TProTarvoCompatibility2>(
        cleanup, form->Seat(), form->CleanupSources(), [this] { ++scrolls; });
    // Something logged before, so the heading gets its separator line.
    form->Console(false, "ранее");
  }

  // A removable file, lying in the version mods folder unless `on_disk` is false.
  std::string Removable(const std::string& name, bool on_disk = true) {
    form->State().RemovableFiles.push_back(name);
    const std::string path = JoinPath(form->State().VersionModsFolder, name);
    if (on_disk) std::ofstream(U8Path(path), std::ios::binary) << "x";
    return path;
  }

  std::string Whitelist() const {
    return app::ReadText(*form->State().SettingsIni, app::kWhiteListKey);
  }
  void SetWhitelist(const std::string& text) {
    app::WriteText(*form->State().SettingsIni, app::kWhiteListKey, text);
  }

  // Console lines logged after the one written by the fixture.
  std::vector<std::string> NewLines() const {
    const auto& lines = form->StatusLog().Lines();
    return std::vector<std::string>(lines.begin() + 1, lines.end());
  }

  test::FakeCleanupView cleanup;
  std::unique_ptr<TProTarvoCompatibility2> dialog;
  int scrolls = 0;
};

TEST_F(CleanupDialogTest, NewNamesAreCheckedUnlessTheWhitelistHoldsThem) {
  SetWhitelist("zzkept.jarlegacy.jar|other.jar|");
  Removable("a.jar");
  Removable("kept.jar");
  Removable("other.jar");
  Removable("b.jar");
  dialog->Show();
  EXPECT_EQ(cleanup.Texts(), (std::vector<std::string>{"a.jar", "kept.jar", "other.jar", "b.jar"}));
  EXPECT_EQ(cleanup.Checks(), (std::vector<bool>{true, false, false, true}));
  EXPECT_TRUE(cleanup.visible);
  EXPECT_EQ(cleanup.items_when_shown, 4u);

  // Every showing starts from the list again rather than adding to the old items.
  dialog->FormShow();
  EXPECT_EQ(cleanup.ListCount(), 4);
  EXPECT_EQ(cleanup.clears, 2);
  EXPECT_EQ(form->State().RemovableFiles.size(), 4u);
}

TEST_F(CleanupDialogTest, AllUncheckedDeletesNothingAndKeepsEveryName) {
  const std::string a = Removable("a.jar");
  const std::string b = Removable("b.jar");
  dialog->Show();
  cleanup.ListSetChecked(0, false);
  cleanup.ListSetChecked(1, false);
  dialog->sButtonDelClick();

  EXPECT_TRUE(FileExists(a));
  EXPECT_TRUE(FileExists(b));
  EXPECT_TRUE(IsKept(Whitelist(), "a.jar"));
  EXPECT_TRUE(IsKept(Whitelist(), "b.jar"));
  EXPECT_EQ(NewLines(), (std::vector<std::string>{" ", "======Удаление лишних модов=====",
                                                  "Кол-во удаленных файлов: 0"}));
  EXPECT_FALSE(cleanup.visible);
  EXPECT_TRUE(view.window_visible);

  // Next time the kept names come up unchecked.
  dialog->Show();
  EXPECT_EQ(cleanup.Checks(), (std::vector<bool>{false, false}));
}

TEST_F(CleanupDialogTest, CheckingAKeptNameDeletesItsFileAndForgetsIt) {
  SetWhitelist("a.jarb.jar");
  const std::string a = Removable("a.jar");
  const std::string b = Removable("b.jar");
  dialog->Show();
  ASSERT_EQ(cleanup.Checks(), (std::vector<bool>{false, false}));
  cleanup.ListSetChecked(0, true);
  dialog->sButtonDelClick();

  EXPECT_FALSE(FileExists(a));
  EXPECT_TRUE(FileExists(b));
  EXPECT_FALSE(IsKept(Whitelist(), "a.jar"));
  EXPECT_TRUE(IsKept(Whitelist(), "b.jar"));
  EXPECT_EQ(NewLines(), (std::vector<std::string>{
                            " ", "======Удаление лишних модов=====", "Удален мод: a.jar",
                            "=======Завершение удаления======", "Кол-во удаленных файлов: 1"}));
}

TEST_F(CleanupDialogTest, FilesGoneMeanwhileAreLoggedInOrderAndNotCounted) {
  const std::string a = Removable("a.jar");
  Removable("gone.jar", false);
  Removable("kept.jar");
  const std::string c = Removable("c.jar");
  dialog->Show();
  cleanup.ListSetChecked(2, false);
  dialog->sButtonDelClick();

  EXPECT_FALSE(FileExists(a));
  EXPECT_FALSE(FileExists(c));
  EXPECT_EQ(NewLines(), (std::vector<std::string>{
                            " ", "======Удаление лишних модов=====", "Удален мод: a.jar",
                            "Ошибка удаления мода: gone.jar", "Удален мод: c.jar",
                            "=======Завершение удаления======", "Кол-во удаленных файлов: 2"}));
  EXPECT_FALSE(cleanup.visible);
}

TEST_F(CleanupDialogTest, OnlyFailuresLeaveOutTheClosingLine) {
  Removable("gone.jar", false);
  dialog->Show();
  dialog->sButtonDelClick();
  EXPECT_EQ(NewLines(), (std::vector<std::string>{" ", "======Удаление лишних модов=====",
                                                  "Ошибка удаления мода: gone.jar",
                                                  "Кол-во удаленных файлов: 0"}));
}

TEST_F(CleanupDialogTest, UnwritableWhitelistStopsBeforeAnythingIsDeletedOrLogged) {
  app::SharedState& state = form->State();
  state.SettingsIni = std::make_unique<UnwritableIni>(std::move(state.SettingsIni));
  const std::string a = Removable("a.jar");
  Removable("b.jar");
  OpenCleanupDialog(*dialog);
  FinishAnimations();
  cleanup.ListSetChecked(1, false);
  const std::size_t lines = form->StatusLog().Lines().size();

  EXPECT_THROW(dialog->sButtonDelClick(), app::IniWriteError);
  EXPECT_TRUE(FileExists(a));
  EXPECT_EQ(form->StatusLog().Lines().size(), lines);
  EXPECT_TRUE(cleanup.visible);
  EXPECT_FALSE(view.window_visible);
  EXPECT_EQ(state.MainWindowTag, 0);
  EXPECT_FALSE(ui::IsAnimating());
  EXPECT_EQ(scrolls, 0);
}

TEST_F(CleanupDialogTest, OpeningTakesTheMainWindowsPlaceAndCentresTheDialog) {
  view.screen = {1281, 1027};
  view.window.bounds = {100, 120, 830, 294};
  Removable("a.jar");
  OpenCleanupDialog(*dialog);

  using Change = test::FakeAnimatable::Change;
  ASSERT_GE(cleanup.window.changes.size(), 4u);
  EXPECT_EQ(std::vector<Change>(cleanup.window.changes.begin(), cleanup.window.changes.begin() + 4),
            (std::vector<Change>{{'l', 100}, {'t', 120}, {'w', 830}, {'h', 294}}));
  EXPECT_FALSE(view.window_visible);
  EXPECT_TRUE(cleanup.visible);
  EXPECT_EQ(cleanup.items_when_shown, 1u);

  FinishAnimations();
  EXPECT_EQ(ui::CurrentAnimationTask(), "size");
  EXPECT_EQ(cleanup.window.bounds, (ui::Rect{640 - 276, 513 - 139, 553, 279}));
}

TEST_F(CleanupDialogTest, PressDuringTheOpeningAnimationDoesNotDrag) {
  Removable("a.jar");
  OpenCleanupDialog(*dialog);
  dialog->sGroupBox1MouseDown();
  EXPECT_EQ(cleanup.drags, 0);
  FinishAnimations();
  dialog->sGroupBox1MouseDown();
  EXPECT_EQ(cleanup.drags, 1);
}

TEST_F(CleanupDialogTest, HandBackRegrowsTheMainWindowCentredWithTiesToEven) {
  // Wide width 400 + 417 + 13 = 830 and actions height 97 + 161 + 36 = 294: the halves land
  // on 225.5 and 366.5.
  view.screen = {1281, 1027};
  Removable("a.jar");
  OpenCleanupDialog(*dialog);
  FinishAnimations();
  view.window_enabled = false;
  cleanup.window.bounds = {50, 60, 553, 279};
  view.window.changes.clear();

  dialog->sButtonDelClick();
  using Change = test::FakeAnimatable::Change;
  ASSERT_GE(view.window.changes.size(), 4u);
  EXPECT_EQ(std::vector<Change>(view.window.changes.begin(), view.window.changes.begin() + 4),
            (std::vector<Change>{{'l', 50}, {'t', 60}, {'w', 553}, {'h', 279}}));
  EXPECT_EQ(form->State().MainWindowTag, 1);
  EXPECT_TRUE(view.window_enabled);
  EXPECT_TRUE(view.window_visible);
  EXPECT_FALSE(cleanup.visible);
  EXPECT_EQ(scrolls, 1);
  EXPECT_TRUE(ui::IsAnimating());

  FinishAnimations();
  EXPECT_EQ(view.window.bounds, (ui::Rect{226, 366, 830, 294}));
}

}  // namespace
}  // namespace veltrane::sync
