#include "ui/skin/skin.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ui/skin/controls.h"
#include "ui/skin/frame.h"

namespace skin = veltrane::win32::skin;

namespace {

skin::ControlSpec At(int left, int top, int width, int height, std::string text = {}) {
  skin::ControlSpec desc;
  desc.left = left;
  desc.top = top;
  desc.width = width;
  desc.height = height;
  desc.text = std::move(text);
  return desc;
}

RECT RectIn(HWND child, HWND parent) {
  RECT rc;
  GetWindowRect(child, &rc);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

LPARAM Point(int x, int y) {
  return MAKELPARAM(x, y);
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

class SkinTest : public testing::Test {
 protected:
  void SetUp() override {
    skin::FrameOptions options;
    options.class_name = L"VeltraneSkinTestFrame";
    options.caption = "Окно проверки";
    options.content_width = 401;
    options.content_height = 289;
    frame_ = skin::Frame::Create(options);
    ASSERT_NE(frame_, nullptr);
    hwnd_ = frame_->hwnd();
    frame_->SetMessageHook([this](HWND, UINT msg, WPARAM, LPARAM, LRESULT* result) {
      if (msg != WM_CLOSE) return false;
      ++close_requests_;
      *result = 0;
      return true;
    });
  }
  void TearDown() override {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
  }
  HWND content() const { return frame_->content(); }

  skin::Frame* frame_ = nullptr;
  HWND hwnd_ = nullptr;
  int close_requests_ = 0;
};

TEST_F(SkinTest, FrameGeometryAddsFiveAndTwentyEight) {
  RECT outer;
  GetWindowRect(hwnd_, &outer);
  EXPECT_EQ(outer.right - outer.left, 401 + 5);
  EXPECT_EQ(outer.bottom - outer.top, 289 + 28);

  // Sizing the window "right edge + 13" by "bottom edge + 36" leaves an 8 px margin inside.
  const int right = 8 + 385, bottom = 0 + 97;
  SetWindowPos(hwnd_, nullptr, 0, 0, right + 13, bottom + 36, SWP_NOMOVE | SWP_NOZORDER);
  RECT client;
  GetClientRect(content(), &client);
  EXPECT_EQ(client.right, right + 8);
  EXPECT_EQ(client.bottom, bottom + 8);
  const RECT placed = RectIn(content(), hwnd_);
  EXPECT_EQ(placed.left, skin::kBorderLeft);
  EXPECT_EQ(placed.top, skin::kTitleHeight);

  frame_->SetContentSize(817 + 8, 281 + 8);
  GetWindowRect(hwnd_, &outer);
  EXPECT_EQ(outer.right - outer.left, 817 + 13);
  EXPECT_EQ(outer.bottom - outer.top, 281 + 36);
}

TEST_F(SkinTest, EveryControlCarriesItsCaptionAsWindowText) {
  HWND group = skin::CreateGroupBox(content(), At(8, 0, 385, 97, "Путь к папке с игрой"));
  HWND edit = skin::CreateReadOnlyEdit(group, At(8, 19, 289, 24, "C:\\Игры"));
  HWND label = skin::CreateLabel(group, At(8, 36, 369, 33, "Неправильный путь к папке с игрой!"));
  HWND button = skin::CreateButton(group, At(8, 68, 369, 21, "Указать"));
  HWND check = skin::CreateCheckBox(group, At(317, 64, 58, 17, "Турбо"), true);
  HWND memo = skin::CreateMemo(content(), At(8, 100, 300, 100, "первая"));
  HWND sink = skin::CreatePlainButton(content(), At(864, 56, 27, 25, "B"));
  HWND item = frame_->AddTitleItem({"Forge Install", 70, true, skin::CursorKind::Default, ""});

  EXPECT_EQ(skin::TextOf(group), "Путь к папке с игрой");
  EXPECT_EQ(skin::TextOf(edit), "C:\\Игры");
  EXPECT_EQ(skin::TextOf(label), "Неправильный путь к папке с игрой!");
  EXPECT_EQ(skin::TextOf(button), "Указать");
  EXPECT_EQ(skin::TextOf(check), "Турбо");
  EXPECT_EQ(skin::TextOf(memo), "первая");
  EXPECT_EQ(skin::TextOf(sink), "B");
  EXPECT_EQ(skin::TextOf(item), "Forge Install");
  EXPECT_EQ(skin::TextOf(frame_->title_bar()), "Окно проверки");
  EXPECT_FALSE(skin::TextOf(frame_->close_button()).empty());

  // The caption set on the window reaches the title bar.
  skin::SetText(hwnd_, "Veltrane v1.2.6 - Dravenna 1.12.2");
  EXPECT_EQ(skin::TextOf(frame_->title_bar()), "Veltrane v1.2.6 - Dravenna 1.12.2");
  EXPECT_EQ(skin::TextOf(hwnd_), "Veltrane v1.2.6 - Dravenna 1.12.2");
}

TEST_F(SkinTest, TitleItemsFollowVisibilityWidthAndCaption) {
  HWND setups = frame_->AddTitleItem({"Setups+", 49, false, skin::CursorKind::Help, "подсказка"});
  HWND forge = frame_->AddTitleItem({"Forge Install", 70, true, skin::CursorKind::Default, ""});
  HWND log = frame_->AddTitleItem({"ChangeLog", 67, false, skin::CursorKind::Default, ""});
  ASSERT_EQ(frame_->TitleItemCount(), 3);
  EXPECT_EQ(frame_->TitleItem(1), forge);
  EXPECT_FALSE(IsWindowVisible(setups));
  EXPECT_FALSE(IsWindowVisible(log));

  const RECT close = RectIn(frame_->close_button(), frame_->title_bar());
  RECT f = RectIn(forge, frame_->title_bar());
  EXPECT_EQ(f.right - f.left, 70);
  EXPECT_EQ(f.bottom - f.top, skin::kTitleItemHeight);
  EXPECT_EQ(f.right, close.left - 2);  // right-aligned: nothing between it and the close button

  frame_->SetTitleItemVisible(0, true);
  EXPECT_TRUE(frame_->TitleItemVisible(0));
  const RECT s = RectIn(setups, frame_->title_bar());
  f = RectIn(forge, frame_->title_bar());
  EXPECT_EQ(s.right, close.left - 2);
  EXPECT_EQ(f.right, s.left - 1);  // shifted left to make room

  frame_->SetTitleItemWidth(0, 90);
  EXPECT_EQ(frame_->TitleItemWidth(0), 90);
  EXPECT_EQ(RectIn(setups, frame_->title_bar()).left, close.left - 2 - 90);

  // ShowWindow on an item lays the bar out as well.
  ShowWindow(setups, SW_HIDE);
  EXPECT_FALSE(frame_->TitleItemVisible(0));
  EXPECT_EQ(RectIn(forge, frame_->title_bar()).right, close.left - 2);

  frame_->SetTitleItemCaption(2, "История");
  EXPECT_EQ(skin::TextOf(log), "История");
}

TEST_F(SkinTest, TitleItemReportsClickAndReleasedButton) {
  HWND item = frame_->AddTitleItem({"Forge Install", 70, true, skin::CursorKind::Default, ""});
  std::vector<skin::MouseButton> released;
  int clicks = 0;
  skin::SetOnMouseUp(item, [&](skin::MouseButton b, POINT) { released.push_back(b); });
  skin::SetOnClick(item, [&] { ++clicks; });

  SendMessageW(item, WM_RBUTTONDOWN, MK_RBUTTON, Point(5, 5));
  SendMessageW(item, WM_RBUTTONUP, 0, Point(5, 5));
  SendMessageW(item, WM_MBUTTONDOWN, MK_MBUTTON, Point(5, 5));
  SendMessageW(item, WM_MBUTTONUP, 0, Point(5, 5));
  ASSERT_EQ(released.size(), 2u);
  EXPECT_EQ(released[0], skin::MouseButton::Right);
  EXPECT_EQ(released[1], skin::MouseButton::Middle);
  EXPECT_EQ(clicks, 0);

  SendMessageW(item, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
  SendMessageW(item, WM_LBUTTONUP, 0, Point(5, 5));
  ASSERT_EQ(released.size(), 3u);
  EXPECT_EQ(released[2], skin::MouseButton::Left);
  EXPECT_EQ(clicks, 1);

  // A release away from the item is neither a click nor a release over it.
  SendMessageW(item, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
  SendMessageW(item, WM_LBUTTONUP, 0, Point(200, 5));
  EXPECT_EQ(released.size(), 3u);
  EXPECT_EQ(clicks, 1);

  // The close button asks the window to close.
  HWND close = frame_->close_button();
  SendMessageW(close, WM_LBUTTONDOWN, MK_LBUTTON, Point(3, 3));
  SendMessageW(close, WM_LBUTTONUP, 0, Point(3, 3));
  Pump();
  EXPECT_EQ(close_requests_, 1);
}

TEST_F(SkinTest, FrameWithoutCloseButtonHasNone) {
  skin::FrameOptions options;
  options.class_name = L"VeltraneSkinTestDialog";
  options.caption = "Очистка лишних файлов";
  options.close_button = false;
  skin::Frame* dialog = skin::Frame::Create(options);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->close_button(), nullptr);
  EXPECT_EQ(GetWindow(dialog->title_bar(), GW_CHILD), nullptr);
  DestroyWindow(dialog->hwnd());
}

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

TEST_F(SkinTest, CursorsAndHintsOfTitleItemsAndControls) {
  HWND setups = frame_->AddTitleItem({"Setups+", 49, true, skin::CursorKind::Help,
                                      "Загрузка и запуск\r\nдополнительных настроек"});
  HWND forge = frame_->AddTitleItem({"Forge Install", 70, true, skin::CursorKind::Default, ""});
  EXPECT_EQ(skin::HintOf(setups), "Загрузка и запуск\r\nдополнительных настроек");
  EXPECT_EQ(skin::HintOf(forge), "");

  // A help cursor is set by the item itself; a default item leaves the cursor to the system.
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  EXPECT_EQ(SendMessageW(setups, WM_SETCURSOR, reinterpret_cast<WPARAM>(setups),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HELP));

  HWND memo = skin::CreateMemo(content(), At(8, 16, 300, 80));
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  SendMessageW(memo, WM_SETCURSOR, reinterpret_cast<WPARAM>(memo),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));  // not the text beam

  HWND box = skin::CreateCheckBox(content(), At(8, 100, 60, 17, "Setups"), true);
  skin::SetCursorKind(box, skin::CursorKind::Help);
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  SendMessageW(box, WM_SETCURSOR, reinterpret_cast<WPARAM>(box),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HELP));
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

// Bounds of the pixels of one exact colour in a shown window; empty when the screen cannot be
// read back.
RECT PixelsOf(HWND hwnd, COLORREF color) {
  RECT client;
  GetClientRect(hwnd, &client);
  RECT found{client.right, client.bottom, -1, -1};
  HDC dc = GetDC(hwnd);
  for (int y = 0; y < client.bottom; ++y) {
    for (int x = 0; x < client.right; ++x) {
      if (GetPixel(dc, x, y) != color) continue;
      found.left = std::min<LONG>(found.left, x);
      found.top = std::min<LONG>(found.top, y);
      found.right = std::max<LONG>(found.right, x + 1);
      found.bottom = std::max<LONG>(found.bottom, y + 1);
    }
  }
  ReleaseDC(hwnd, dc);
  return found;
}

TEST_F(SkinTest, LabelIsCentredInItsOwnColourAndGroupCaptionSitsTopRight) {
  skin::ControlSpec desc = At(8, 8, 300, 60, "ШШШ");
  desc.font = skin::FontSpec::Pixels("Tahoma", 24, true);
  desc.text_color = RGB(239, 239, 239);
  HWND label = skin::CreateLabel(content(), desc);
  skin::ControlSpec group_spec = At(8, 100, 300, 80, "ШШ");
  group_spec.font = skin::FontSpec::Pixels("Tahoma", 16, true);
  group_spec.text_color = RGB(250, 240, 10);
  HWND group = skin::CreateGroupBox(content(), group_spec);
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

bool g_folder_dialog_seen = false;
WPARAM g_folder_dialog_button = IDCANCEL;

TEST(FolderDialogTest, OpensOnTheStartFolderWhichBecomesCurrent) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring start = std::wstring(temp) + L"veltrane_skin_папка";
  CreateDirectoryW(start.c_str(), nullptr);
  wchar_t before[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, before);

  // Press Cancel as soon as the dialog is up.
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM) {
          wchar_t cls[16] = {};
          GetClassNameW(w, cls, 16);
          if (lstrcmpW(cls, L"#32770") == 0) {
            g_folder_dialog_seen = true;
            PostMessageW(w, WM_COMMAND, g_folder_dialog_button, 0);
          }
          return TRUE;
        },
        0);
  });
  std::string utf8;
  {
    const int n = WideCharToMultiByte(CP_UTF8, 0, start.c_str(), -1, nullptr, 0, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_UTF8, 0, start.c_str(), -1, utf8.data(), n, nullptr, nullptr);
    utf8.pop_back();
  }
  g_folder_dialog_button = IDCANCEL;
  const auto chosen = skin::BrowseForFolder(nullptr, utf8);
  // OK takes the folder that the dialog opened with.
  g_folder_dialog_button = IDOK;
  const auto accepted = skin::BrowseForFolder(nullptr, utf8);
  KillTimer(nullptr, timer);
  wchar_t now[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, now);
  SetCurrentDirectoryW(before);
  RemoveDirectoryW(start.c_str());
  EXPECT_TRUE(g_folder_dialog_seen);
  EXPECT_FALSE(chosen.has_value());
  ASSERT_TRUE(accepted.has_value());
  EXPECT_EQ(*accepted, utf8);
  EXPECT_EQ(lstrcmpiW(std::filesystem::path(now).lexically_normal().c_str(),
                      std::filesystem::path(start).lexically_normal().c_str()),
            0);
}

}  // namespace
