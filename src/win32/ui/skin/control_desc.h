#pragma once
// Where a skinned control goes and how it looks; every control factory takes one.
#include <windows.h>

#include <optional>
#include <string>

#include "ui/skin/skin.h"

namespace veltrane::win32::skin {

struct ControlDesc {
  int left = 0, top = 0, width = 0, height = 0;
  std::string text;
  FontSpec font;                       // Tahoma 8 pt by default
  std::optional<COLORREF> text_color;  // the skin's text colour when unset
  std::optional<COLORREF> back_color;  // memo, edit, check list: the skin's when unset
  bool visible = true;
  bool enabled = true;
  int id = 0;
};

}  // namespace veltrane::win32::skin
