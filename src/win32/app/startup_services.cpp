#include "app/startup_services.h"

#include "app/profile_ini.h"
#include "app/self_replace.h"
#include "app/single_instance.h"
#include "base/environment.h"
#include "base/random_digits.h"
#include "base/regional.h"
#include "base/u8path.h"
#include "base/wide.h"

namespace veltrane::win32 {

bool ShowTopMessage(HWND owner, std::string_view text, std::string_view caption,
                    ui::Desktop::Buttons buttons, ui::Desktop::Icon icon) {
  UINT flags = MB_TOPMOST | MB_SETFOREGROUND | (owner ? MB_APPLMODAL : MB_TASKMODAL);
  flags |= buttons == ui::Desktop::Buttons::OkCancel ? MB_OKCANCEL : MB_OK;
  switch (icon) {
    case ui::Desktop::Icon::Information:
      flags |= MB_ICONINFORMATION;
      break;
    case ui::Desktop::Icon::Warning:
      flags |= MB_ICONWARNING;
      break;
    case ui::Desktop::Icon::Error:
      flags |= MB_ICONERROR;
      break;
  }
  return MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), flags) == IDOK;
}

bool Win32StartupServices::ActivateRunningCopy(std::string_view class_name) {
  return FindAndActivate(std::string(class_name)) != nullptr;
}

bool Win32StartupServices::ClaimOnlyCopy() {
  // Never closed: the process holds it until it ends, its window or not.
  const HANDLE token = CreateMutexW(nullptr, FALSE, L"Local\\Veltrane Dravenna, one copy");
  return token != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
}

void Win32StartupServices::HandOverToRunningCopy(std::string_view class_name) {
  // The first copy may still be starting, or showing its update offer: it gets a while.
  WaitAndActivate(std::string(class_name), std::chrono::seconds(10));
}

std::string Win32StartupServices::ExpandEnvText(std::string_view text) {
  return win32::ExpandEnvText(text);
}

std::unique_ptr<app::IniStore> Win32StartupServices::OpenIni(const std::string& path) {
  return std::make_unique<ProfileIniStore>(path);
}

std::string Win32StartupServices::SizeToText(double bytes) {
  return win32::SizeToText(bytes);
}

bool Win32StartupServices::ShowMessage(std::string_view text, std::string_view caption,
                                       ui::Desktop::Buttons buttons, ui::Desktop::Icon icon) {
  return ShowTopMessage(nullptr, text, caption, buttons, icon);
}

std::string Win32StartupServices::RandomDigits(std::uint8_t count) {
  return veltrane::RandomDigits(count);
}

std::string Win32StartupServices::ProgramFolder() {
  return PathText(U8Path(OwnProgramPath()).parent_path());
}

std::string Win32StartupServices::ProgramName() {
  return OwnExeName();
}

bool Win32StartupServices::CanReplaceSelf(std::string_view target, std::string_view downloaded) {
  return ReplaceBatchText(OwnExeName(), target, downloaded).has_value();
}

bool Win32StartupServices::ReplaceSelfAndExit(std::string_view target,
                                              std::string_view downloaded) {
  return win32::ReplaceSelfAndExit(target, downloaded);
}

void Win32StartupServices::BringApplicationToFront() {
  // No window exists yet; allow the windows about to be created to take the foreground.
  AllowSetForegroundWindow(ASFW_ANY);
}

}  // namespace veltrane::win32
