#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "skin_fixture.h"
#include "ui/skin/controls.h"
#include "ui/skin/skin.h"

namespace {

using namespace skin_test;

TEST_F(SkinTest, HintsLiveInOneTooltipPerWindow) {
  HWND a = skin::CreateButton(content(), At(8, 16, 100, 25, "TL"));
  HWND b = skin::CreateCheckBox(content(), At(8, 50, 100, 17, "Турбо"), true);
  const std::string turbo =
      "Активирует 5-ти поточную загрузку,\r\nкоторая позволяет скачивать\r\nодновременно "
      "сразу 5 файлов.";
  skin::SetHint(a, "Указать путь как в TLauncher Legacy");
  skin::SetHint(b, turbo);
  EXPECT_EQ(skin::HintOf(a), "Указать путь как в TLauncher Legacy");
  EXPECT_EQ(skin::HintOf(b), turbo);

  int tooltips = 0;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM counter) {
        wchar_t cls[64] = {};
        GetClassNameW(w, cls, 64);
        if (lstrcmpiW(cls, TOOLTIPS_CLASSW) == 0) ++*reinterpret_cast<int*>(counter);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&tooltips));
  EXPECT_EQ(tooltips, 1);

  skin::SetHint(a, "другая");
  EXPECT_EQ(skin::HintOf(a), "другая");
  skin::SetHint(a, "");
  EXPECT_EQ(skin::HintOf(a), "");
  EXPECT_EQ(skin::HintOf(b), turbo);
}

// The cursor a window sets itself when the mouse moves over it; null when it leaves that to
// others.
HCURSOR CursorOver(HWND hwnd) {
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  const LRESULT set = SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd),
                                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  return set == TRUE ? GetCursor() : nullptr;
}

TEST_F(SkinTest, CursorsAndHintsOfTitleItemsAndControls) {
  HWND setups = frame_->AddTitleItem({"Setups+", 49, true, skin::CursorKind::Help,
                                      "Загрузка и запуск\r\nдополнительных настроек"});
  HWND forge = frame_->AddTitleItem({"Forge Install", 70, true, skin::CursorKind::Default, ""});
  EXPECT_EQ(skin::HintOf(setups), "Загрузка и запуск\r\nдополнительных настроек");
  EXPECT_EQ(skin::HintOf(forge), "");

  // A help cursor is set by the item itself; a default item leaves the cursor to the system.
  EXPECT_EQ(CursorOver(setups), LoadCursorW(nullptr, IDC_HELP));
  HWND memo = skin::CreateMemo(content(), At(8, 16, 300, 80));
  EXPECT_EQ(CursorOver(memo), LoadCursorW(nullptr, IDC_ARROW));  // not the text beam
  HWND box = skin::CreateCheckBox(content(), At(8, 100, 60, 17, "Setups"), true);
  skin::SetCursorKind(box, skin::CursorKind::Help);
  EXPECT_EQ(CursorOver(box), LoadCursorW(nullptr, IDC_HELP));
}
TEST_F(SkinTest, SelectingASkinRepaintsTheWindow) {
  ShowWindow(hwnd_, SW_SHOWNA);
  UpdateWindow(hwnd_);
  auto& skins = skin::SkinManager::Instance();
  ASSERT_TRUE(skins.Select(skin::kMaterialDark));
  HDC dc = GetDC(content());
  const COLORREF material = GetPixel(dc, 2, 2);
  ASSERT_TRUE(skins.Select(skin::kEmerald));
  const COLORREF emerald = GetPixel(dc, 2, 2);
  ReleaseDC(content(), dc);
  ShowWindow(hwnd_, SW_HIDE);
  if (material == CLR_INVALID) GTEST_SKIP() << "the screen cannot be read back here";
  EXPECT_NE(material, emerald);
  EXPECT_EQ(emerald, skins.Colors().window);
}
TEST(SkinManagerTest, SelectsBuiltInSkinsByNameOnly) {
  auto& skins = skin::SkinManager::Instance();
  ASSERT_TRUE(skins.Select(skin::kEmerald));
  const skin::Palette emerald = skins.Colors();
  EXPECT_FALSE(skins.Select("Emerald"));
  EXPECT_FALSE(skins.Select(""));
  EXPECT_EQ(skins.Current(), skin::kEmerald);
  ASSERT_TRUE(skins.Select("Material Dark (internal)"));
  EXPECT_EQ(skins.Current(), "Material Dark (internal)");
  const skin::Palette material = skins.Colors();

  EXPECT_NE(emerald.accent, material.accent);
  EXPECT_GT(GetGValue(emerald.accent), GetRValue(emerald.accent));  // greenish
  for (const skin::Palette& p : {emerald, material}) {
    EXPECT_EQ(p.text, RGB(230, 238, 255));
    EXPECT_LT(GetRValue(p.window) + GetGValue(p.window) + GetBValue(p.window), 3 * 80);  // dark
  }
}

TEST(SkinManagerTest, FontsAreCachedPerSpecWithCyrillicCharset) {
  auto& skins = skin::SkinManager::Instance();
  HFONT a = skins.Font(skin::FontSpec::Points("Comic Sans MS", 12));
  EXPECT_EQ(a, skins.Font(skin::FontSpec::Points("Comic Sans MS", 12)));
  HFONT px = skins.Font(skin::FontSpec::Pixels("Tahoma", 11));
  EXPECT_NE(px, skins.Font(skin::FontSpec::Points("Tahoma", 11)));
  LOGFONTW lf{};
  ASSERT_NE(GetObjectW(px, sizeof(lf), &lf), 0);
  EXPECT_EQ(lf.lfHeight, -11);
  EXPECT_EQ(lf.lfCharSet, RUSSIAN_CHARSET);
  EXPECT_STREQ(lf.lfFaceName, L"Tahoma");
}

}  // namespace
