#pragma once
// The main window's layout: every control with its parent, rectangle (in its parent's client
// coordinates), text and initial state. The Win32 window is built from this table, and the
// sizes of the window follow from it.
#include <array>
#include <optional>
#include <string_view>

#include "ui/geometry.h"
#include "ui/main_view.h"
#include "ui/texts.h"

namespace veltrane::ui {

struct ControlLayout {
  Control control;
  std::optional<Control> parent;  // none: the window's client area
  Rect rect;
  std::string_view text;
  bool visible;
  bool enabled;
};

inline constexpr std::array<ControlLayout, 22> kMainLayout{{
    {Control::sGroupBox2, std::nullopt, {8, 0, 385, 97}, "Путь к папке с игрой", true, true},
    {Control::sEdit1, Control::sGroupBox2, {8, 19, 289, 24}, "", true, true},
    {Control::sButtonOpenFolder, Control::sGroupBox2, {296, 19, 81, 21}, "Открыть", true, true},
    {Control::sLabel1,
     Control::sGroupBox2,
     {8, 36, 369, 33},
     "Неправильный путь к папке с игрой!",
     true,
     true},
    {Control::sButtonSetFolder, Control::sGroupBox2, {8, 68, 369, 21}, "Указать", true, true},
    {Control::sButtonCopyTL, Control::sGroupBox2, {344, 68, 33, 21}, "TL", false, true},
    {Control::sGroupBox3, std::nullopt, {8, 97, 385, 161}, "Действия", false, false},
    {Control::sButtonCheck,
     Control::sGroupBox3,
     {8, 16, 369, 41},
     "Проверить совместимость",
     true,
     true},
    {Control::sButtonDownload,
     Control::sGroupBox3,
     {8, 64, 306, 41},
     "Запуск синхронизации",
     true,
     false},
    {Control::sCheckBox1, Control::sGroupBox3, {317, 64, 58, 17}, "Турбо", true, true},
    {Control::sCheckBox2, Control::sGroupBox3, {317, 88, 68, 17}, "Setups", true, true},
    {Control::sButtonExit, Control::sGroupBox3, {8, 112, 369, 41}, "Выход", true, true},
    {Control::sGroupBox1, std::nullopt, {400, 0, 417, 258}, "Статус", false, true},
    {Control::sMemo1, Control::sGroupBox1, {8, 16, 401, 234}, "", true, true},
    {Control::sProgressBar1, std::nullopt, {8, 264, 155, 17}, "", false, true},
    {Control::sProgressBar2, std::nullopt, {171, 264, 155, 17}, "", false, true},
    {Control::sProgressBar3, std::nullopt, {334, 264, 156, 17}, "", false, true},
    {Control::sProgressBar4, std::nullopt, {498, 264, 156, 17}, "", false, true},
    {Control::sProgressBar5, std::nullopt, {662, 264, 155, 17}, "", false, true},
    {Control::sMemo2, std::nullopt, {824, 152, 121, 105}, kChangeLog, false, true},
    {Control::sButtonInstF,
     std::nullopt,
     {824, 264, 249, 41},
     "Установить Forge-1.10.2-12.18.3.2316",
     true,
     false},
    {Control::Button1, std::nullopt, {864, 56, 27, 25}, "B", true, true},
}};

inline const ControlLayout& LayoutFor(Control control) {
  for (const ControlLayout& entry : kMainLayout) {
    if (entry.control == control) return entry;
  }
  return kMainLayout.front();
}

}  // namespace veltrane::ui
