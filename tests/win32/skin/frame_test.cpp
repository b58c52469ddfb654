#include "ui/skin/frame.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skin_fixture.h"
#include "ui/skin/controls.h"

namespace {

using namespace skin_test;

TEST_F(SkinTest, FrameGeometryAddsFiveAndTwentyEight) {
  EXPECT_EQ(OuterSize(hwnd_), (std::pair<LONG, LONG>(401 + 5, 289 + 28)));

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
  EXPECT_EQ(OuterSize(hwnd_), (std::pair<LONG, LONG>(817 + 13, 281 + 36)));
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

}  // namespace
