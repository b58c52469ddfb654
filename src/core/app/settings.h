#pragma once
// The per-user settings file: its section, its keys and how their values are read.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/ini_store.h"

namespace veltrane::app {

inline constexpr std::string_view kSettingsSection = "Settings";
inline constexpr std::string_view kGameFolderKey = "GameFolder";
inline constexpr std::string_view kTurboKey = "Turbo";
inline constexpr std::string_view kExtraOptionsKey = "ExtraOptions";
inline constexpr std::string_view kWhiteListKey = "WhiteList";

inline constexpr bool kTurboDefault = true;
inline constexpr bool kExtraOptionsDefault = true;

// Flags in the settings section: 0 is false, any other number true.
bool ReadFlag(const IniStore& store, std::string_view key, bool def);
void WriteFlag(IniStore& store, std::string_view key, bool value);

// Text values in the settings section, written unchanged.
std::string ReadText(const IniStore& store, std::string_view key, std::string_view def = {});
void WriteText(IniStore& store, std::string_view key, std::string_view value);

}  // namespace veltrane::app
