#pragma once
// Start-up's needs on Windows: the running copy, message boxes, WinInet, the replacement.
#include <windows.h>

#include "app/startup.h"
#include "build_config.h"
#include "net/wininet_transport.h"

namespace veltrane::win32 {

class Win32StartupServices : public app::StartupServices {
 public:
  bool ActivateRunningCopy(std::string_view class_name) override;
  bool ClaimOnlyCopy() override;
  void HandOverToRunningCopy(std::string_view class_name) override;
  std::string ExpandEnvText(std::string_view text) override;
  std::unique_ptr<app::IniStore> OpenIni(const std::string& path) override;
  net::Transport& Transport() override { return transport_; }
  std::string_view PackKey() override { return build::kPackKey; }
  std::string SizeToText(double bytes) override;
  bool ShowMessage(std::string_view text, std::string_view caption, ui::Desktop::Buttons buttons,
                   ui::Desktop::Icon icon) override;
  std::string RandomDigits(std::uint8_t count) override;
  std::string ProgramFolder() override;
  std::string ProgramName() override;
  bool CanReplaceSelf(std::string_view target, std::string_view downloaded) override;
  bool ReplaceSelfAndExit(std::string_view target, std::string_view downloaded) override;
  void BringApplicationToFront() override;

 private:
  WinInetTransport transport_;
};

// Shows a modal, always-on-top message box owned by no window.
bool ShowTopMessage(HWND owner, std::string_view text, std::string_view caption,
                    ui::Desktop::Buttons buttons, ui::Desktop::Icon icon);

}  // namespace veltrane::win32
