#include "ui/skin/controls.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "skin_fixture.h"

namespace {

using namespace skin_test;

TEST_F(SkinTest, GroupBoxGetsMouseOverItsOwnSurfaceOnly) {
  HWND group = skin::CreateGroupBox(content(), At(8, 97, 385, 161, "Действия"));
  HWND button = skin::CreateButton(group, At(8, 16, 369, 41, "Проверить совместимость"));
  std::vector<POINT> moves;
  int downs = 0;
  skin::SetOnMouseMove(group, [&](POINT p) { moves.push_back(p); });
  skin::SetOnMouseDown(group, [&](skin::MouseButton, POINT) { ++downs; });

  // Unlike the system group box, ours is not transparent to hit-testing...
  POINT surface{200, 120};  // below the button, inside the group
  POINT on_screen = surface;
  ClientToScreen(group, &on_screen);
  EXPECT_EQ(SendMessageW(group, WM_NCHITTEST, 0, MAKELPARAM(on_screen.x, on_screen.y)), HTCLIENT);
  EXPECT_EQ(ChildWindowFromPointEx(group, surface, CWP_ALL), group);
  // ...and a point over the button belongs to the button.
  EXPECT_EQ(ChildWindowFromPointEx(group, POINT{20, 30}, CWP_ALL), button);

  SendMessageW(group, WM_MOUSEMOVE, 0, Point(200, 120));
  SendMessageW(button, WM_MOUSEMOVE, 0, Point(10, 10));
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].x, 200);
  EXPECT_EQ(moves[0].y, 120);

  SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 10));
  SendMessageW(button, WM_LBUTTONUP, 0, Point(10, 10));
  EXPECT_EQ(downs, 0);
  SendMessageW(group, WM_RBUTTONDOWN, MK_RBUTTON, Point(200, 120));
  EXPECT_EQ(downs, 1);
}

TEST_F(SkinTest, ProgressBarAnswersTheStandardMessages) {
  HWND bar = skin::CreateProgressBar(content(), At(8, 264, 155, 17));
  PBRANGE range{};
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range)), 0);
  EXPECT_EQ(range.iHigh, 100);

  const LRESULT previous = SendMessageW(bar, PBM_SETRANGE32, 0, 250000);
  EXPECT_EQ(LOWORD(previous), 0);
  EXPECT_EQ(HIWORD(previous), 100);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 250000);  // 32-bit maximum kept whole
  EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, 1000, 0), 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 1000);
  EXPECT_EQ(SendMessageW(bar, PBM_DELTAPOS, 10240, 0), 1000);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 11240);

  // Positions outside the range are clamped.
  SendMessageW(bar, PBM_SETPOS, 300000, 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 250000);
  SendMessageW(bar, PBM_DELTAPOS, static_cast<WPARAM>(-900000), 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);

  // A maximum below the minimum is raised to the minimum, and the position follows.
  SendMessageW(bar, PBM_SETPOS, 40, 0);
  SendMessageW(bar, PBM_SETRANGE32, 50, 10);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, 0), 50);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 50);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 50);
  UpdateWindow(bar);  // an empty range paints without dividing by zero

  EXPECT_FALSE(skin::ProgressIsMarquee(bar));
  SendMessageW(bar, PBM_SETMARQUEE, TRUE, 20);
  EXPECT_TRUE(skin::ProgressIsMarquee(bar));
  EXPECT_NE(GetWindowLongW(bar, GWL_STYLE) & PBS_MARQUEE, 0);
  SendMessageW(bar, PBM_SETMARQUEE, FALSE, 0);
  EXPECT_FALSE(skin::ProgressIsMarquee(bar));
  EXPECT_EQ(GetWindowLongW(bar, GWL_STYLE) & PBS_MARQUEE, 0);
}

TEST_F(SkinTest, CheckBoxTogglesAndReportsOnlyRealReleases) {
  HWND group = skin::CreateGroupBox(content(), At(8, 97, 385, 161, "Действия"));
  HWND box = skin::CreateCheckBox(group, At(317, 64, 58, 17, "Турбо"), true);
  std::vector<std::pair<skin::MouseButton, bool>> ups;  // button, checked when reported
  skin::SetOnMouseUp(box, [&](skin::MouseButton b, POINT) {
    ups.push_back({b, skin::IsChecked(box)});
  });
  ASSERT_TRUE(skin::IsChecked(box));

  SendMessageW(box, BM_CLICK, 0, 0);
  EXPECT_FALSE(skin::IsChecked(box));
  EXPECT_TRUE(ups.empty());

  SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
  SendMessageW(box, WM_LBUTTONUP, 0, Point(5, 5));
  EXPECT_TRUE(skin::IsChecked(box));
  ASSERT_EQ(ups.size(), 1u);
  EXPECT_EQ(ups[0].first, skin::MouseButton::Left);
  EXPECT_TRUE(ups[0].second);  // reported after the click changed the box

  SendMessageW(box, WM_RBUTTONDOWN, MK_RBUTTON, Point(5, 5));
  SendMessageW(box, WM_RBUTTONUP, 0, Point(5, 5));
  EXPECT_TRUE(skin::IsChecked(box));
  ASSERT_EQ(ups.size(), 2u);
  EXPECT_EQ(ups[1].first, skin::MouseButton::Right);

  skin::SetChecked(box, false);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_NE(GetWindowLongW(box, GWL_STYLE) & BS_MULTILINE, 0);  // word wrap
}

TEST_F(SkinTest, CheckListHoldsItemsWithCheckMarks) {
  HWND list = skin::CreateCheckList(content(), At(8, 48, 505, 137));
  EXPECT_EQ(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0), 16);
  EXPECT_EQ(skin::CheckListAdd(list, "OptiFine.jar"), 0);
  EXPECT_EQ(skin::CheckListAdd(list, "старый-мод.jar"), 1);
  EXPECT_EQ(skin::CheckListAdd(list, "третий.jar"), 2);
  EXPECT_EQ(skin::CheckListCount(list), 3);
  EXPECT_EQ(skin::CheckListText(list, 1), "старый-мод.jar");
  EXPECT_FALSE(skin::CheckListChecked(list, 0));  // added unchecked

  skin::CheckListSetChecked(list, 0, true);
  skin::CheckListSetChecked(list, 2, true);
  EXPECT_TRUE(skin::CheckListChecked(list, 0));
  EXPECT_FALSE(skin::CheckListChecked(list, 1));
  // The check flag is visible to other processes as the item data.
  EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 2, 0), 1);
  SendMessageW(list, LB_SETITEMDATA, 2, 0);
  EXPECT_FALSE(skin::CheckListChecked(list, 2));

  // A click on the second row toggles that item only.
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, Point(40, 16 + 8));
  SendMessageW(list, WM_LBUTTONUP, 0, Point(40, 16 + 8));
  EXPECT_TRUE(skin::CheckListChecked(list, 1));
  EXPECT_TRUE(skin::CheckListChecked(list, 0));
  // A click below the last item toggles nothing.
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, Point(40, 100));
  SendMessageW(list, WM_LBUTTONUP, 0, Point(40, 100));
  EXPECT_TRUE(skin::CheckListChecked(list, 0));
  EXPECT_TRUE(skin::CheckListChecked(list, 1));
  EXPECT_FALSE(skin::CheckListChecked(list, 2));

  skin::CheckListSetChecked(list, 7, true);  // out of range: ignored
  skin::CheckListClear(list);
  EXPECT_EQ(skin::CheckListCount(list), 0);
}

TEST_F(SkinTest, MemoAppendsLinesAndKeepsTheLastInView) {
  HWND memo = skin::CreateMemo(content(), At(8, 16, 300, 80));
  EXPECT_TRUE(skin::MemoLines(memo).empty());
  skin::MemoAppendLine(memo, "");  // an empty first line still counts as a line
  skin::MemoAppendLine(memo, "строка 2");
  skin::MemoAppendLine(memo, "строка 3\r\n   продолжение");
  const std::vector<std::string> expected{"", "строка 2", "строка 3", "   продолжение"};
  EXPECT_EQ(skin::MemoLines(memo), expected);
  for (int i = 0; i < 40; ++i) skin::MemoAppendLine(memo, "строка " + std::to_string(i));
  EXPECT_EQ(skin::MemoLines(memo).size(), 44u);
  EXPECT_GT(SendMessageW(memo, EM_GETFIRSTVISIBLELINE, 0, 0), 30);
  EXPECT_NE(GetWindowLongW(memo, GWL_STYLE) & ES_READONLY, 0);

  skin::MemoSetLines(memo, {"a", "", "b"});
  EXPECT_EQ(skin::TextOf(memo), "a\r\n\r\nb");
}

TEST_F(SkinTest, EditAndMemoHandPressesToTheirCallbacks) {
  HWND edit = skin::CreateReadOnlyEdit(content(), At(8, 19, 289, 24, "C:\\Games"));
  int downs = 0, doubles = 0, focus = 0;
  skin::SetOnMouseDown(edit, [&](skin::MouseButton, POINT) { ++downs; });
  skin::SetOnDoubleClick(edit, [&] { ++doubles; });
  skin::SetOnFocus(edit, [&] { ++focus; });
  SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
  EXPECT_EQ(downs, 1);
  EXPECT_NE(GetCapture(), edit);  // no selection started
  SendMessageW(edit, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(5, 5));
  EXPECT_EQ(doubles, 1);
  SendMessageW(edit, WM_SETFOCUS, 0, 0);
  EXPECT_EQ(focus, 1);
  EXPECT_EQ(skin::TextOf(edit), "C:\\Games");
}

TEST_F(SkinTest, ButtonClickReachesItsCallback) {
  HWND button = skin::CreateButton(content(), At(8, 16, 100, 25, "Выход"));
  int clicks = 0;
  skin::SetOnClick(button, [&] { ++clicks; });
  SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  EXPECT_NE(GetWindowLongW(button, GWL_STYLE) & BS_OWNERDRAW, 0);
}
TEST_F(SkinTest, KeyboardAndSixteenBitMessagesKeepWorking) {
  HWND list = skin::CreateCheckList(content(), At(8, 48, 200, 100));
  skin::CheckListAdd(list, "a.jar");
  skin::CheckListAdd(list, "b.jar");
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_FALSE(skin::CheckListChecked(list, 0));
  EXPECT_TRUE(skin::CheckListChecked(list, 1));

  HWND bar = skin::CreateProgressBar(content(), At(8, 264, 155, 17));
  SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(10, 20));
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, 0), 10);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 20);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 10);  // pulled into the new range
  EXPECT_EQ(SendMessageW(bar, PBM_SETSTEP, 4, 0), 10);
  SendMessageW(bar, PBM_STEPIT, 0, 0);
  SendMessageW(bar, PBM_STEPIT, 0, 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 18);

  // A worker posts; the UI thread applies it when it pumps.
  PostMessageW(bar, PBM_SETPOS, 15, 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 18);
  Pump();
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 15);
}
TEST_F(SkinTest, LabelIsCentredInItsOwnColourAndGroupCaptionSitsTopRight) {
  skin::ControlDesc desc = At(8, 8, 300, 60, "ШШШ");
  desc.font = skin::FontSpec::Pixels("Tahoma", 24, true);
  desc.text_color = RGB(239, 239, 239);
  HWND label = skin::CreateLabel(content(), desc);
  skin::ControlDesc group_desc = At(8, 100, 300, 80, "ШШ");
  group_desc.font = skin::FontSpec::Pixels("Tahoma", 16, true);
  group_desc.text_color = RGB(250, 240, 10);
  HWND group = skin::CreateGroupBox(content(), group_desc);
  ShowWindow(hwnd_, SW_SHOWNA);
  UpdateWindow(hwnd_);

  const RECT text = PixelsOf(label, RGB(239, 239, 239));
  const RECT caption = PixelsOf(group, RGB(250, 240, 10));
  ShowWindow(hwnd_, SW_HIDE);
  ASSERT_GT(text.right, text.left) << "no text in the label's colour";
  EXPECT_NEAR(text.left, 300 - text.right, 6);  // centred horizontally (side bearings aside)
  EXPECT_NEAR(text.top, 60 - text.bottom, 6);   // and vertically
  ASSERT_GT(caption.right, caption.left) << "no caption in the group's text colour";
  EXPECT_GT(caption.left, 150);  // right half
  EXPECT_GT(caption.right, 300 - 20);
  EXPECT_LT(caption.bottom, 25);  // top
}

}  // namespace
