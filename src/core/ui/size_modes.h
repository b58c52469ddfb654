#pragma once
// The main window's sizes and the arithmetic of every size change. Nothing is stored: each size
// follows from the controls' rectangles at the moment it is needed. A window's outer size is
// the right edge of the rightmost group it shows + 13 (8 margin, 5 frame) by the bottom edge of
// the lowest element it shows + 36 (8 margin, 28 frame and title bar).
#include <array>
#include <cstdint>
#include <optional>

#include "ui/animation_engine.h"
#include "ui/geometry.h"

namespace veltrane::ui {

class MainView;

inline constexpr int kFrameWidth = 13;
inline constexpr int kFrameHeight = 36;
inline constexpr int kDialogWidth = 553;
inline constexpr int kDialogHeight = 279;
inline constexpr int kClosingStripHeight = 36;
inline constexpr double kSizeMultiplier = 0.2;
inline constexpr double kClosingMultiplier = 0.03;
inline constexpr char kSizeTask[] = "size";
inline constexpr char kClosingTask[] = "Closing";

// Rectangles of the controls the sizes depend on, in the main window's client coordinates.
struct WindowLayout {
  Rect folder_group;   // sGroupBox2
  Rect actions_group;  // sGroupBox3
  Rect status_group;   // sGroupBox1
  Rect progress_bar1;  // sProgressBar1
  Rect progress_bar2;  // sProgressBar2
};

struct ScreenSize {
  int width = 0;
  int height = 0;
};

int CompactWidth(const WindowLayout& layout);
int CompactHeight(const WindowLayout& layout);
int ActionsHeight(const WindowLayout& layout);
int WideWidth(const WindowLayout& layout);
int ProgressHeight(const WindowLayout& layout);

// What ChngSize does for one mode.
enum class SizeReference { kActionsGroup, kProgressBar1 };
struct SizeModePlan {
  // sProgressBar1 to sProgressBar5; in mode 1 the hiding of 2..5 comes before bar 1's resize.
  std::array<bool, 5> bars_visible{};
  int bar1_width = 0;
  SizeReference reference = SizeReference::kActionsGroup;
  // The window's outer height once the mode is reached.
  int target_height = 0;

  bool operator==(const SizeModePlan&) const = default;
};

// Modes 0 (bars hidden), 1 (one bar across the window) and 2 (the row of five); any other
// value gives nothing to do.
std::optional<SizeModePlan> PlanSizeMode(std::uint8_t SScript, const WindowLayout& layout,
                                         int client_width);
// The request ChngSize makes once the bars are arranged: only the height changes.
AnimationTarget SizeModeTarget(const SizeModePlan& plan);

// ChngSize's wait is over once the window has the mode's height, or when that can no longer
// happen: the engine has stopped (the close sequence stops it, another size request with a
// different height completed) or the application is ending.
bool SizeModeWaitOver(int window_height, int target_height, bool animating, bool app_ending);

// Switches the window's progress row (0 none, 1 one bar across, 2 all five) and waits until the
// window has the mode's height, running window messages meanwhile. Other values do nothing.
void ChngSize(MainView& view, std::uint8_t SScript);

// Mouse over the actions group: widen and centre the window, unless it is wide already or
// not at the actions height (a progress row is showing).
std::optional<AnimationTarget> WideningTarget(const Rect& window, const WindowLayout& layout,
                                              ScreenSize screen);

// The game-folder validation's size changes; both stand down while the window is being
// handed back by the cleanup dialog.
std::optional<AnimationTarget> GrowToActionsTarget(const Rect& window, const WindowLayout& layout,
                                                   ScreenSize screen, bool returning_from_cleanup);
std::optional<AnimationTarget> ShrinkToCompactTarget(const Rect& window, const WindowLayout& layout,
                                                     ScreenSize screen,
                                                     bool returning_from_cleanup);

// The cleanup dialog taking the main window's place, centred at its own size.
AnimationTarget DialogHandOverTarget(ScreenSize screen);
// The main window handed back by the cleanup dialog: wide width and actions height, centred,
// the halves taken in floating point and rounded to nearest with ties to even.
AnimationTarget CleanupHandBackTarget(const WindowLayout& layout, ScreenSize screen);
// The close sequence's collapse towards a strip whose top is the window's former middle.
AnimationTarget ClosingCollapseTarget(const Rect& window);

}  // namespace veltrane::ui
