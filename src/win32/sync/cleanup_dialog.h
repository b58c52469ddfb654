#pragma once
// The cleanup dialog on Windows: a skinned, always-on-top frame of class
// TProTarvoCompatibility2 without title-bar buttons, created hidden, whose events go to the
// dialog's logic.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "sync/cleanup_form.h"
#include "ui/main_window.h"
#include "ui/skin/frame.h"

namespace veltrane::win32 {

inline constexpr wchar_t kCleanupDialogClass[] = L"TProTarvoCompatibility2";
inline constexpr char kCleanupCaption[] = "Очистка лишних файлов";
inline constexpr char kCleanupLabelText[] =
    "Файлы из следующего списка можно удалить.\r\n"
    "Снимите галочки около файлов, которые хотите оставить.";
inline constexpr char kCleanupButtonText[] = "Удалить";
inline constexpr int kCleanupOuterWidth = 553;
inline constexpr int kCleanupOuterHeight = 279;
// Control ids, so tests and tools can find the controls.
inline constexpr int kCleanupGroupId = 2001;
inline constexpr int kCleanupLabelId = 2002;
inline constexpr int kCleanupListId = 2003;
inline constexpr int kCleanupButtonId = 2004;

class CleanupDialog : public sync::CleanupView {
 public:
  CleanupDialog() = default;
  ~CleanupDialog() override;
  CleanupDialog(const CleanupDialog&) = delete;
  CleanupDialog& operator=(const CleanupDialog&) = delete;

  // Creates the window, hidden. Events are dropped until a logic is attached. Throws
  // std::runtime_error when the window cannot be created.
  void Create();
  // Not owned; must outlive the window's events (nullptr detaches).
  void Attach(sync::TProTarvoCompatibility2* logic) { logic_ = logic; }

  HWND hwnd() const { return frame_ ? frame_->hwnd() : nullptr; }
  HWND GroupBox() const { return group_; }
  HWND Label() const { return label_; }
  HWND List() const { return list_; }
  HWND Button() const { return button_; }

  // CleanupView
  void ListClear() override;
  int ListAdd(std::string_view text) override;
  int ListCount() const override;
  std::string ListText(int index) const override;
  bool ListChecked(int index) const override;
  void ListSetChecked(int index, bool checked) override;
  ui::Animatable& Window() override { return window_geometry_; }
  ui::Rect WindowBounds() const override { return window_geometry_.Bounds(); }
  void ShowWindow(bool visible) override;
  bool WindowVisible() const override;
  void StartWindowDrag() override;

 private:
  // Runs a handler of the attached logic inside the error boundary.
  void ToLogic(const std::function<void(sync::TProTarvoCompatibility2&)>& handler);

  skin::Frame* frame_ = nullptr;  // frees itself with its window
  HWND group_ = nullptr;
  HWND label_ = nullptr;
  HWND list_ = nullptr;
  HWND button_ = nullptr;
  HwndAnimatable window_geometry_;
  sync::TProTarvoCompatibility2* logic_ = nullptr;
};

}  // namespace veltrane::win32
