#pragma once
// Rectangles of windows and controls, and the one rounding rule the window arithmetic uses.
#include <cmath>

namespace veltrane::ui {

// Left and top are in the parent's client coordinates (screen coordinates for a window).
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool operator==(const Rect&) const = default;
};

// Nearest integer, a tie going to the even neighbour. Written out rather than left to
// std::nearbyint so that it does not depend on the floating-point environment of the caller.
inline long long RoundHalfEven(double value) {
  const double floor_value = std::floor(value);
  const double fraction = value - floor_value;
  const long long lower = static_cast<long long>(floor_value);
  if (fraction > 0.5) return lower + 1;
  if (fraction < 0.5) return lower;
  return (lower % 2 == 0) ? lower : lower + 1;
}

}  // namespace veltrane::ui
