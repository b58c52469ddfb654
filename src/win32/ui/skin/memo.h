#pragma once
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "ui/skin/control_desc.h"

namespace veltrane::win32::skin {

// Read-only multi-line memo with both scroll bars; arrow cursor. A mouse-down callback takes
// presses over the text (no selection), a double-click callback still fires.
HWND CreateMemo(HWND parent, const ControlDesc& desc);
// Appends one line (CR LF inside `text` gives several) and scrolls it into view.
void MemoAppendLine(HWND memo, std::string_view text);
std::vector<std::string> MemoLines(HWND memo);
void MemoSetLines(HWND memo, const std::vector<std::string>& lines);

}  // namespace veltrane::win32::skin
