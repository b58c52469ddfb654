#include "ui/size_modes.h"

#include "ui/main_view.h"

namespace veltrane::ui {
namespace {

AnimationTarget SizeTarget(int left, int top, int width, int height) {
  return AnimationTarget{left, top, width, height, kSizeMultiplier, kSizeTask};
}

}  // namespace

int CompactWidth(const WindowLayout& layout) {
  return layout.folder_group.right() + kFrameWidth;
}

int CompactHeight(const WindowLayout& layout) {
  return layout.folder_group.bottom() + kFrameHeight;
}

int ActionsHeight(const WindowLayout& layout) {
  return layout.actions_group.bottom() + kFrameHeight;
}

int WideWidth(const WindowLayout& layout) {
  return layout.status_group.right() + kFrameWidth;
}

int ProgressHeight(const WindowLayout& layout) {
  return layout.progress_bar1.bottom() + kFrameHeight;
}

std::optional<SizeModePlan> PlanSizeMode(std::uint8_t SScript, const WindowLayout& layout,
                                         int client_width) {
  SizeModePlan plan;
  switch (SScript) {
    case 0:
      plan.bars_visible = {false, false, false, false, false};
      plan.bar1_width = layout.progress_bar2.width;
      plan.reference = SizeReference::kActionsGroup;
      plan.target_height = ActionsHeight(layout);
      return plan;
    case 1:
      plan.bars_visible = {true, false, false, false, false};
      plan.bar1_width = client_width - 16;
      plan.reference = SizeReference::kProgressBar1;
      plan.target_height = ProgressHeight(layout);
      return plan;
    case 2:
      plan.bars_visible = {true, true, true, true, true};
      plan.bar1_width = layout.progress_bar2.width;
      plan.reference = SizeReference::kProgressBar1;
      plan.target_height = ProgressHeight(layout);
      return plan;
    default:
      return std::nullopt;
  }
}

AnimationTarget SizeModeTarget(const SizeModePlan& plan) {
  return SizeTarget(kKeep, kKeep, kKeep, plan.target_height);
}

bool SizeModeWaitOver(int window_height, int target_height, bool animating, bool app_ending) {
  return window_height == target_height || !animating || app_ending;
}

void ChngSize(MainView& view, std::uint8_t SScript) {
  const auto plan = PlanSizeMode(SScript, LayoutOf(view), view.ClientWidth());
  if (!plan) return;
  // Bars are hidden before bar 1 changes and shown after, in bar order.
  for (int bar = 1; bar <= 5; ++bar) {
    if (!plan->bars_visible[static_cast<size_t>(bar - 1)]) {
      view.SetVisible(ProgressBarControl(bar), false);
    }
  }
  view.SetWidth(Control::sProgressBar1, plan->bar1_width);
  for (int bar = 1; bar <= 5; ++bar) {
    if (plan->bars_visible[static_cast<size_t>(bar - 1)]) {
      view.SetVisible(ProgressBarControl(bar), true);
    }
  }
  AnimateControl(&view.Window(), SizeModeTarget(*plan));
  const Control reference = plan->reference == SizeReference::kActionsGroup
                                ? Control::sGroupBox3
                                : Control::sProgressBar1;
  while (!SizeModeWaitOver(view.WindowBounds().height,
                           view.Bounds(reference).bottom() + kFrameHeight, IsAnimating(),
                           view.AppEnding())) {
    view.ProcessMessages();
  }
}

std::optional<AnimationTarget> WideningTarget(const Rect& window, const WindowLayout& layout,
                                              ScreenSize screen) {
  const int wide = WideWidth(layout);
  if (window.width == wide || window.height != ActionsHeight(layout)) return std::nullopt;
  return SizeTarget(screen.width / 2 - wide / 2, screen.height / 2 - window.height / 2, wide,
                    kKeep);
}

std::optional<AnimationTarget> GrowToActionsTarget(const Rect& window, const WindowLayout& layout,
                                                   ScreenSize screen, bool returning_from_cleanup) {
  if (returning_from_cleanup || window.height != CompactHeight(layout)) return std::nullopt;
  const int actions = ActionsHeight(layout);
  return SizeTarget(screen.width / 2 - window.width / 2, screen.height / 2 - actions / 2, kKeep,
                    actions);
}

std::optional<AnimationTarget> ShrinkToCompactTarget(const Rect& window, const WindowLayout& layout,
                                                     ScreenSize screen,
                                                     bool returning_from_cleanup) {
  const int width = CompactWidth(layout);
  const int height = CompactHeight(layout);
  if (returning_from_cleanup || (window.width == width && window.height == height)) {
    return std::nullopt;
  }
  // The top is centred on the folder group's bottom edge, without the frame's 36.
  return SizeTarget(screen.width / 2 - width / 2,
                    screen.height / 2 - layout.folder_group.bottom() / 2, width, height);
}

AnimationTarget DialogHandOverTarget(ScreenSize screen) {
  return SizeTarget(screen.width / 2 - kDialogWidth / 2, screen.height / 2 - kDialogHeight / 2,
                    kDialogWidth, kDialogHeight);
}

AnimationTarget CleanupHandBackTarget(const WindowLayout& layout, ScreenSize screen) {
  const int width = WideWidth(layout);
  const int height = ActionsHeight(layout);
  const auto centred = [](int screen_extent, int extent) {
    return static_cast<int>(RoundHalfEven(screen_extent / 2.0 - extent / 2.0));
  };
  return SizeTarget(centred(screen.width, width), centred(screen.height, height), width, height);
}

AnimationTarget ClosingCollapseTarget(const Rect& window) {
  return AnimationTarget{kKeep,
                         window.top + window.height - window.height / 2,
                         kKeep,
                         kClosingStripHeight,
                         kClosingMultiplier,
                         kClosingTask};
}

}  // namespace veltrane::ui
