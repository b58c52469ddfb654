#pragma once
// Start-up before any window: one copy only, the data folder, the update check and the
// self-update. What it needs of the system is behind StartupServices.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/ini_store.h"
#include "net/manifest.h"
#include "net/transport.h"
#include "ui/desktop.h"

namespace veltrane::app {

inline constexpr std::string_view kAppVersion = "1.2.6.3";
inline constexpr std::string_view kMainWindowClass = "TProTarvoCompatibility";
inline constexpr std::string_view kUpdateCaption = "Обновление";
inline constexpr std::string_view kErrorCaption = "Ошибка";
inline constexpr std::string_view kNoConnectionText =
    "К сожалению, проверить обновления не удалось.";
inline constexpr std::string_view kUpdateFailedText =
    "Не удалось скачать файл обновления.\r\nПрограмма будет закрыта.";
inline constexpr std::string_view kUpdateNotPlacedText =
    "Не удалось установить файл обновления.\r\nПрограмма будет запущена без обновления.";

// The start-up manifest fetch (the manifest and its signature) takes at most this long in all;
// past it the program starts as when the manifest cannot be fetched.
inline constexpr std::chrono::seconds kStartupManifestTime{10};

class StartupServices {
 public:
  virtual ~StartupServices() = default;
  // True when another copy's main window was found and brought to the front.
  virtual bool ActivateRunningCopy(std::string_view class_name) = 0;
  // Takes this user session's one-copy token, held until the process ends; false when another
  // copy holds it (maybe before it has any window).
  virtual bool ClaimOnlyCopy() = 0;
  // Waits a few seconds for the running copy's main window and brings it to the front.
  virtual void HandOverToRunningCopy(std::string_view class_name) = 0;
  virtual std::string ExpandEnvText(std::string_view text) = 0;
  virtual std::unique_ptr<IniStore> OpenIni(const std::string& path) = 0;
  virtual net::Transport& Transport() = 0;
  // The manifest signer's public key this program takes (build::kPackKey); empty: the manifest
  // is taken unsigned.
  virtual std::string_view PackKey() = 0;
  virtual std::string SizeToText(double bytes) = 0;
  virtual bool ShowMessage(std::string_view text, std::string_view caption,
                           ui::Desktop::Buttons buttons, ui::Desktop::Icon icon) = 0;
  virtual std::string RandomDigits(std::uint8_t count) = 0;
  // The folder of the running program's file, and its name (the downloads' user agent).
  virtual std::string ProgramFolder() = 0;
  virtual std::string ProgramName() = 0;
  // Whether the replacement batch file can be written for these names and the running
  // program's own; asked before anything is downloaded.
  virtual bool CanReplaceSelf(std::string_view target, std::string_view downloaded) = 0;
  // Writes and starts the replacement batch file; the process then ends. Returns false, having
  // left nothing behind, when the batch file could not be written or started.
  [[nodiscard]] virtual bool ReplaceSelfAndExit(std::string_view target,
                                                std::string_view downloaded) = 0;
  virtual void BringApplicationToFront() = 0;
};

enum class StartupResult { kRunWindows, kExit };

// The update message for a size text.
std::string UpdateOfferText(std::string_view size_text);
// Whether the server's version text asks for an update: any difference from our own, letter
// case included, but only for a plain version (digits, Latin letters, dots, hyphens; at most
// 64 characters).
bool UpdateDue(std::string_view server_version);

// Whether a downloaded file can be the program: not empty, starting with "MZ", and of the size
// the server stated before (`stated_size` -1: none stated).
bool LooksLikeTheProgram(const std::string& path, std::int64_t stated_size);

// Only one copy runs: a second one hands over to the first and ends, before any check. Removes
// first what a killed self-update left in the data folder and beside the program. In a build with a
// key, only a manifest signed under it is read: one that is not offers no update, and neither does
// one that publishes no hash for "/Update.exe". The served files' hashes of a manifest verified
// here go to `verified` (when given), for the form to take over.
StartupResult RunStartup(StartupServices& services,
                         std::optional<net::ServedFiles>* verified = nullptr);

}  // namespace veltrane::app
