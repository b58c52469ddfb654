#pragma once
// The window's own commands: the drag, the path copied, the status file and the change log
// written for Notepad, the game folder opened, the option toggles, "Выход" and the widening
// over the actions.
#include <functional>
#include <string>
#include <vector>

#include "ui/form_context.h"

namespace veltrane::ui {

inline constexpr char kCopiedText[] = "Скопировано в буфер обмена";
inline constexpr int kShowNormal = 5;

class WindowCommands {
 public:
  // Everything the context refers to must outlive the commands. `save_settings` stores the
  // options once a toggle has changed one.
  WindowCommands(const FormContext& context, std::function<void()> save_settings);
  WindowCommands(const WindowCommands&) = delete;
  WindowCommands& operator=(const WindowCommands&) = delete;

  void sLabel1MouseDown();
  void sEdit1DblClick();
  void sEdit1Enter();
  void sMemo1DblClick();
  void sButtonOpenFolderClick();
  void sButtonExitClick();
  void sGroupBox3MouseMove();
  // The option check boxes, after a mouse release has changed them, and the change log.
  void sCheckBox1MouseUp();
  void sCheckBox2MouseUp();
  void sTitleBar1Items0Click();

 private:
  // Writes lines for Notepad (ANSI code page, CR LF) and opens them there.
  void WriteAndOpenInNotepad(const char* file_name, const std::vector<std::string>& lines);

  MainView& view_;
  Desktop& desktop_;
  app::SharedState& state_;
  StatusConsole& console_;
  std::function<void()> save_settings_;
};

}  // namespace veltrane::ui
