#pragma once
// The program's private window messages, all of them, so that no two can share a number.
#include <windows.h>

namespace veltrane::win32 {

enum AppMessage : UINT {
  // To the UI thread's host window; lParam: a heap-allocated std::function<void()> it runs.
  kRunTask = WM_APP + 1,
  // From a skinned control to its skinned container: returns the COLORREF the child paints its
  // background with.
  kMsgBackground = WM_APP + 0x3A0,
};

}  // namespace veltrane::win32
