#include "ui/size_modes.h"

#include <gtest/gtest.h>

#include "form_fixture.h"

namespace veltrane::ui {
namespace {

// The window's layout as designed.
const WindowLayout kLayout{
    {8, 0, 385, 97},     // folder group
    {8, 97, 385, 161},   // actions group
    {400, 0, 417, 258},  // status group
    {8, 264, 155, 17},   // progress bar 1
    {171, 264, 155, 17}  // progress bar 2
};
constexpr ScreenSize kFullHd{1920, 1080};
constexpr ScreenSize kOddScreen{1365, 767};

AnimationTarget Size(int left, int top, int width, int height) {
  return {left, top, width, height, 0.2, "size"};
}

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(267.5), 268);
  EXPECT_EQ(RoundHalfEven(236.5), 236);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(-1.5), -2);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(2.4999), 2);
  EXPECT_EQ(RoundHalfEven(2.5001), 3);
  EXPECT_EQ(RoundHalfEven(-2.6), -3);
}

TEST(WindowSizes, FollowTheLayout) {
  EXPECT_EQ(CompactWidth(kLayout), 406);
  EXPECT_EQ(CompactHeight(kLayout), 133);
  EXPECT_EQ(ActionsHeight(kLayout), 294);
  EXPECT_EQ(WideWidth(kLayout), 830);
  EXPECT_EQ(ProgressHeight(kLayout), 317);

  // Computed from where the controls are now, not from the design.
  WindowLayout moved = kLayout;
  moved.status_group.width = 300;
  moved.progress_bar1.top = 270;
  EXPECT_EQ(WideWidth(moved), 713);
  EXPECT_EQ(ProgressHeight(moved), 323);
}

TEST(SizeModes, ArrangeTheProgressRowAndTargetTheModesHeight) {
  const auto off = PlanSizeMode(0, kLayout, 822);
  ASSERT_TRUE(off.has_value());
  EXPECT_EQ(
      *off,
      (SizeModePlan{{false, false, false, false, false}, 155, SizeReference::kActionsGroup, 294}));

  // One bar across the client area with 8-pixel margins.
  const auto single = PlanSizeMode(1, kLayout, 822);
  ASSERT_TRUE(single.has_value());
  EXPECT_EQ(
      *single,
      (SizeModePlan{{true, false, false, false, false}, 806, SizeReference::kProgressBar1, 317}));

  // Back to its neighbours' width, whatever mode 1 made of it.
  WindowLayout stretched = kLayout;
  stretched.progress_bar1.width = 806;
  const auto row = PlanSizeMode(2, stretched, 822);
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(*row,
            (SizeModePlan{{true, true, true, true, true}, 155, SizeReference::kProgressBar1, 317}));

  EXPECT_EQ(SizeModeTarget(*single), Size(kKeep, kKeep, kKeep, 317));
  EXPECT_EQ(SizeModeTarget(*off), Size(kKeep, kKeep, kKeep, 294));

  for (int mode : {3, 4, 255}) {
    EXPECT_FALSE(PlanSizeMode(static_cast<std::uint8_t>(mode), kLayout, 822).has_value());
  }
}

TEST(SizeModes, WaitEndsAtTheHeightOrWhenItCanNoLongerBeReached) {
  EXPECT_FALSE(SizeModeWaitOver(294, 317, true, false));
  EXPECT_TRUE(SizeModeWaitOver(317, 317, true, false));
  EXPECT_TRUE(SizeModeWaitOver(317, 317, false, false));
  // Stopped by the close sequence or overtaken by another size: the engine went idle.
  EXPECT_TRUE(SizeModeWaitOver(300, 317, false, false));
  EXPECT_TRUE(SizeModeWaitOver(300, 317, true, true));
}

TEST(Widening, CentresTheWideWindowOnlyFromTheActionsHeight) {
  EXPECT_EQ(WideningTarget({757, 393, 406, 294}, kLayout, kFullHd), Size(545, 393, 830, kKeep));
  // Integer halves truncate: 1365 / 2 - 415, 767 / 2 - 294 / 2.
  EXPECT_EQ(WideningTarget({0, 0, 406, 294}, kLayout, kOddScreen), Size(267, 236, 830, kKeep));
  // The top follows the window's current height, whatever width it has on the way.
  EXPECT_EQ(WideningTarget({0, 0, 600, 294}, kLayout, kFullHd), Size(545, 393, 830, kKeep));

  EXPECT_FALSE(WideningTarget({545, 393, 830, 294}, kLayout, kFullHd).has_value());
  EXPECT_FALSE(WideningTarget({545, 393, 406, 317}, kLayout, kFullHd).has_value());
  EXPECT_FALSE(WideningTarget({545, 393, 406, 133}, kLayout, kFullHd).has_value());
}

TEST(ValidationSizes, GrowFromCompactAndShrinkBackUnlessHandedBack) {
  EXPECT_EQ(GrowToActionsTarget({757, 473, 406, 133}, kLayout, kFullHd, false),
            Size(757, 393, kKeep, 294));
  EXPECT_FALSE(GrowToActionsTarget({757, 473, 406, 133}, kLayout, kFullHd, true).has_value());
  EXPECT_FALSE(GrowToActionsTarget({757, 393, 406, 294}, kLayout, kFullHd, false).has_value());

  // The top centres the folder group's bottom edge (97 div 2), not the compact height.
  const AnimationTarget compact = Size(757, 492, 406, 133);
  EXPECT_EQ(ShrinkToCompactTarget({545, 393, 830, 294}, kLayout, kFullHd, false), compact);
  EXPECT_EQ(ShrinkToCompactTarget({545, 393, 406, 294}, kLayout, kFullHd, false), compact);
  EXPECT_EQ(ShrinkToCompactTarget({545, 393, 830, 133}, kLayout, kFullHd, false), compact);
  EXPECT_EQ(ShrinkToCompactTarget({0, 0, 830, 294}, kLayout, kOddScreen, false),
            Size(479, 335, 406, 133));
  EXPECT_FALSE(ShrinkToCompactTarget({1, 2, 406, 133}, kLayout, kFullHd, false).has_value());
  EXPECT_FALSE(ShrinkToCompactTarget({545, 393, 830, 294}, kLayout, kFullHd, true).has_value());
}

TEST(CleanupSizes, DialogAndHandBackAreCentred) {
  EXPECT_EQ(DialogHandOverTarget(kFullHd), Size(684, 401, 553, 279));
  EXPECT_EQ(DialogHandOverTarget(kOddScreen), Size(406, 244, 553, 279));

  EXPECT_EQ(CleanupHandBackTarget(kLayout, kFullHd), Size(545, 393, 830, 294));
  // 682.5 - 415 = 267.5 rounds up to 268; 383.5 - 147 = 236.5 rounds down to 236.
  EXPECT_EQ(CleanupHandBackTarget(kLayout, kOddScreen), Size(268, 236, 830, 294));
  WindowLayout narrower = kLayout;
  narrower.status_group.width = 416;  // wide width 829
  EXPECT_EQ(CleanupHandBackTarget(narrower, kFullHd), Size(546, 393, 829, 294));
}

TEST(ClosingSize, CollapsesTowardsTheFormerMiddle) {
  EXPECT_EQ(ClosingCollapseTarget({545, 393, 830, 294}),
            (AnimationTarget{kKeep, 540, kKeep, 36, 0.03, "Closing"}));
  EXPECT_EQ(ClosingCollapseTarget({757, 473, 406, 133}),
            (AnimationTarget{kKeep, 540, kKeep, 36, 0.03, "Closing"}));
}

// ChngSize over a window: the bars arranged, then a wait for the mode's height.
using SizeModeServiceTest = test::FormFixture;

TEST_F(SizeModeServiceTest, SizeModesArrangeTheBarsAndWaitForTheHeight) {
  view.window.bounds = {200, 100, 830, 294};
  ChngSize(view, 1);
  EXPECT_EQ(view.window.bounds.height, 317);
  EXPECT_EQ(view.Bounds(Control::sProgressBar1).width, 830 - 5 - 16);
  EXPECT_TRUE(view.Visible(Control::sProgressBar1));
  EXPECT_FALSE(view.Visible(Control::sProgressBar2));

  ChngSize(view, 2);
  EXPECT_EQ(view.window.bounds.height, 317);
  EXPECT_EQ(view.Bounds(Control::sProgressBar1).width, 155);
  for (int bar = 1; bar <= 5; ++bar) EXPECT_TRUE(view.Visible(ProgressBarControl(bar)));

  ChngSize(view, 0);
  EXPECT_EQ(view.window.bounds.height, 294);
  for (int bar = 1; bar <= 5; ++bar) EXPECT_FALSE(view.Visible(ProgressBarControl(bar)));
  EXPECT_EQ(view.window.bounds.top, 100);  // the top-left corner stays
  EXPECT_EQ(view.window.bounds.left, 200);
}

TEST_F(SizeModeServiceTest, OtherSizeModesDoNothing) {
  view.window.bounds = {200, 100, 830, 294};
  ChngSize(view, 3);
  EXPECT_EQ(view.pumps, 0);
  EXPECT_FALSE(IsAnimating());
  EXPECT_TRUE(view.visibility_log.empty());
}

TEST_F(SizeModeServiceTest, SizeModeWaitEndsWhenItsAnimationIsStopped) {
  view.window.bounds = {200, 100, 830, 294};
  view.on_pump = [] { StopAnimations(); };  // e.g. the close sequence, nested in the wait
  ChngSize(view, 1);
  EXPECT_NE(view.window.bounds.height, 317);
  EXPECT_LE(view.pumps, 2);
}

TEST_F(SizeModeServiceTest, SizeModeWaitEndsWhenTheApplicationEnds) {
  view.window.bounds = {200, 100, 830, 294};
  view.on_pump = [this] { view.ending = true; };
  ChngSize(view, 2);
  EXPECT_EQ(view.pumps, 1);
}

}  // namespace
}  // namespace veltrane::ui
