#pragma once
// The main window's place, as a window that stands in for it (the cleanup dialog) sees it: it
// takes the window's bounds and hides it, and later hands the place back.
#include "ui/geometry.h"
#include "ui/size_modes.h"

namespace veltrane::ui {

class MainWindowSeat {
 public:
  virtual ~MainWindowSeat() = default;
  // The main window's outer rectangle, in screen coordinates.
  virtual Rect Bounds() const = 0;
  virtual ScreenSize Screen() const = 0;
  virtual void Hide() = 0;
  // Puts the main window back at `bounds`, enabled and shown, and lets it regrow, centred, to
  // the wide actions size; the game-folder validation leaves its size alone meanwhile.
  virtual void TakeBack(const Rect& bounds) = 0;
};

}  // namespace veltrane::ui
