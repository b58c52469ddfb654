#include "sync/cleanup_dialog.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "app/settings.h"
#include "base/paths.h"
#include "base/u8path.h"
#include "form_fixture.h"
#include "sync/cleanup_form.h"
#include "sync/whitelist.h"
#include "system_helpers.h"
#include "ui/skin/controls.h"

namespace veltrane::win32 {
namespace {

using test::RectIn;

void ExpectRect(const RECT& rc, int left, int top, int width, int height) {
  EXPECT_EQ(rc.left, left);
  EXPECT_EQ(rc.top, top);
  EXPECT_EQ(rc.right - rc.left, width);
  EXPECT_EQ(rc.bottom - rc.top, height);
}

class CleanupDialogWindowTest : public test::FormFixture {
 protected:
  CleanupDialogWindowTest() {
    dialog.Create();
    form->FormCreate();
    app::SharedState& state = form->State();
    state.GameFolder = MakeGameFolder("game", true, true, true);
    app::DeriveModsFolders(state);
    ForceDirectories(state.VersionModsFolder);
    logic = std::make_unique<sync::TProTarvoCompatibility2>(dialog, form->Seat(),
                                                            form->CleanupSources());
    dialog.Attach(logic.get());
  }
  ~CleanupDialogWindowTest() override { dialog.Attach(nullptr); }

  std::string Removable(const std::string& name) {
    form->State().RemovableFiles.push_back(name);
    const std::string path = JoinPath(form->State().VersionModsFolder, name);
    std::ofstream(U8Path(path), std::ios::binary) << "x";
    return path;
  }

  CleanupDialog dialog;
  std::unique_ptr<sync::TProTarvoCompatibility2> logic;
};

TEST_F(CleanupDialogWindowTest, IsAHiddenTopmostFrameWithoutTitleButtons) {
  HWND hwnd = dialog.hwnd();
  ASSERT_NE(hwnd, nullptr);
  wchar_t class_name[64] = {};
  GetClassNameW(hwnd, class_name, 64);
  EXPECT_STREQ(class_name, L"TProTarvoCompatibility2");
  EXPECT_EQ(skin::TextOf(hwnd), "Очистка лишних файлов");
  EXPECT_FALSE(IsWindowVisible(hwnd));
  EXPECT_NE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  skin::Frame* frame = skin::Frame::FromHwnd(hwnd);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->close_button(), nullptr);
  EXPECT_EQ(frame->TitleItemCount(), 0);
  EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & WS_SYSMENU, 0);
  EXPECT_EQ(test::OuterSize(hwnd), (std::pair<LONG, LONG>(553, 279)));
}

TEST_F(CleanupDialogWindowTest, ControlsSitInTheGroupWithTheirTexts) {
  HWND content = skin::Frame::FromHwnd(dialog.hwnd())->content();
  ExpectRect(RectIn(dialog.GroupBox(), content), 8, 8, 521, 225);
  ExpectRect(RectIn(dialog.Label(), dialog.GroupBox()), 0, 8, 505, 41);
  ExpectRect(RectIn(dialog.List(), dialog.GroupBox()), 8, 48, 505, 137);
  ExpectRect(RectIn(dialog.Button(), dialog.GroupBox()), 8, 192, 505, 25);
  EXPECT_EQ(skin::TextOf(dialog.GroupBox()), "");
  EXPECT_EQ(skin::TextOf(dialog.Label()),
            "Файлы из следующего списка можно удалить.\r\nСнимите галочки около файлов, которые "
            "хотите оставить.");
  EXPECT_EQ(skin::TextOf(dialog.Button()), "Удалить");
  EXPECT_EQ(SendMessageW(dialog.List(), LB_GETITEMHEIGHT, 0, 0), 16);
  EXPECT_EQ(GetDlgCtrlID(dialog.List()), kCleanupListId);
}

TEST_F(CleanupDialogWindowTest, OpensAtItsSizeTogglesByMouseAndDeletesOnTheButton) {
  view.window.bounds = {100, 100, 830, 294};
  const std::string kept = Removable("оставить.jar");
  const std::string doomed = Removable("удалить.jar");

  sync::OpenCleanupDialog(*logic);
  EXPECT_TRUE(IsWindowVisible(dialog.hwnd()));
  EXPECT_FALSE(view.window_visible);
  FinishAnimations();
  RECT rc;
  GetWindowRect(dialog.hwnd(), &rc);
  ExpectRect(rc, 1280 / 2 - 276, 1024 / 2 - 139, 553, 279);

  HWND list = dialog.List();
  ASSERT_EQ(skin::CheckListCount(list), 2);
  EXPECT_EQ(skin::CheckListText(list, 0), "оставить.jar");
  EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 0, 0), 1);
  EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 1, 0), 1);
  // The player unticks the first row.
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 8));
  SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(40, 8));
  EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 0, 0), 0);
  EXPECT_FALSE(dialog.ListChecked(0));
  EXPECT_TRUE(dialog.ListChecked(1));

  SendMessageW(dialog.Button(), BM_CLICK, 0, 0);
  EXPECT_TRUE(FileExists(kept));
  EXPECT_FALSE(FileExists(doomed));
  EXPECT_TRUE(
      sync::IsKept(app::ReadText(*form->State().SettingsIni, app::kWhiteListKey), "оставить.jar"));
  EXPECT_FALSE(IsWindowVisible(dialog.hwnd()));
  EXPECT_TRUE(view.window_visible);
  EXPECT_EQ(form->State().MainWindowTag, 1);
  EXPECT_EQ(form->StatusLog().Lines().back(), "Кол-во удаленных файлов: 1");
}

}  // namespace
}  // namespace veltrane::win32
