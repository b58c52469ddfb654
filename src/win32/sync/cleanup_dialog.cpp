#include "sync/cleanup_dialog.h"

#include <stdexcept>
#include <string>

#include "base/error_boundary.h"
#include "ui/skin/controls.h"

namespace veltrane::win32 {

CleanupDialog::~CleanupDialog() {
  logic_ = nullptr;
  if (hwnd()) DestroyWindow(hwnd());
}

void CleanupDialog::Create() {
  skin::FrameOptions options;
  options.class_name = kCleanupDialogClass;
  options.caption = kCleanupCaption;
  options.content_width = kCleanupOuterWidth - skin::kFrameExtraWidth;
  options.content_height = kCleanupOuterHeight - skin::kFrameExtraHeight;
  options.close_button = false;
  options.topmost = true;
  options.visible = false;
  frame_ = skin::Frame::Create(options);
  if (!frame_) {
    throw std::runtime_error("Unable to create the cleanup dialog, error " +
                             std::to_string(GetLastError()));
  }
  window_geometry_.Attach(frame_->hwnd());
  // Alt+Space must not open a system menu either: the dialog is left only through its button.
  SetWindowLongPtrW(hwnd(), GWL_STYLE, GetWindowLongPtrW(hwnd(), GWL_STYLE) & ~WS_SYSMENU);

  skin::ControlDesc group;
  group.left = 8;
  group.top = 8;
  group.width = 521;
  group.height = 225;
  group.id = kCleanupGroupId;
  group_ = skin::CreateGroupBox(frame_->content(), group);

  skin::ControlDesc label;
  label.left = 0;
  label.top = 8;
  label.width = 505;
  label.height = 41;
  label.text = kCleanupLabelText;
  label.font = skin::FontSpec::Pixels("Comic Sans MS", 13);
  label.id = kCleanupLabelId;
  label_ = skin::CreateLabel(group_, label);

  skin::ControlDesc list;
  list.left = 8;
  list.top = 48;
  list.width = 505;
  list.height = 137;
  list.font = skin::FontSpec::Pixels("Tahoma", 11);
  list.back_color = RGB(38, 49, 56);
  list.text_color = RGB(230, 238, 255);
  list.id = kCleanupListId;
  list_ = skin::CreateCheckList(group_, list);

  skin::ControlDesc button;
  button.left = 8;
  button.top = 192;
  button.width = 505;
  button.height = 25;
  button.text = kCleanupButtonText;
  button.font = skin::FontSpec::Pixels("Comic Sans MS", 16, true);
  button.id = kCleanupButtonId;
  button_ = skin::CreateButton(group_, button);

  skin::SetOnClick(button_, [this] { ToLogic([](auto& logic) { logic.sButtonDelClick(); }); });
  // The dialog has no caption buttons and is moved by its body.
  const auto drag = [this](skin::MouseButton, POINT) {
    ToLogic([](auto& logic) { logic.sGroupBox1MouseDown(); });
  };
  skin::SetOnMouseDown(frame_->content(), drag);
  skin::SetOnMouseDown(group_, drag);
  skin::SetOnMouseDown(label_, drag);
}

void CleanupDialog::ToLogic(const std::function<void(sync::TProTarvoCompatibility2&)>& handler) {
  if (!logic_) return;
  RunGuarded([&] { handler(*logic_); });
}

void CleanupDialog::ListClear() {
  skin::CheckListClear(list_);
}

int CleanupDialog::ListAdd(std::string_view text) {
  return skin::CheckListAdd(list_, text);
}

int CleanupDialog::ListCount() const {
  return skin::CheckListCount(list_);
}

std::string CleanupDialog::ListText(int index) const {
  return skin::CheckListText(list_, index);
}

bool CleanupDialog::ListChecked(int index) const {
  return skin::CheckListChecked(list_, index);
}

void CleanupDialog::ListSetChecked(int index, bool checked) {
  skin::CheckListSetChecked(list_, index, checked);
}

void CleanupDialog::ShowWindow(bool visible) {
  ::ShowWindow(hwnd(), visible ? SW_SHOW : SW_HIDE);
}

bool CleanupDialog::WindowVisible() const {
  return IsWindowVisible(hwnd()) != FALSE;
}

void CleanupDialog::StartWindowDrag() {
  skin::DragWindow(hwnd());
}

}  // namespace veltrane::win32
