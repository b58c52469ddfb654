#pragma once
// Skinned controls, one header each. Each factory creates a child window of `parent` (a frame's
// content panel, a group box, or any window made by this library), in the parent's client
// coordinates, whose window text is its caption. Callbacks, hints and cursors are set
// afterwards with the helpers of skin.h (SetOnClick, SetOnMouseDown, SetHint, SetCursorKind...).
//
// All functions belong to the UI thread. A worker thread that wants to move a progress bar
// hands the change to the UI thread (UiThread::Post), which sends the bar its messages there.
#include "ui/skin/button.h"
#include "ui/skin/check_box.h"
#include "ui/skin/check_list.h"
#include "ui/skin/control_desc.h"
#include "ui/skin/folder_dialog.h"
#include "ui/skin/group_box.h"
#include "ui/skin/label.h"
#include "ui/skin/memo.h"
#include "ui/skin/progress_bar.h"
#include "ui/skin/read_only_edit.h"
