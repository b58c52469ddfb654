#pragma once
// Which names and files the pack may hold: what the client would refuse, mangle, or take for
// something else.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane::pack {

// Longest name, in UTF-16 code units (what Windows counts). The client writes a mod first as
// name + ".xxxxxxxx.part" in <game folder>\mods\1.12.2\, and it does not use long paths, so that
// path must stay within 259 characters: 120 leaves about 110 for the game folder itself.
inline constexpr std::size_t kMaxNameLength = 120;

// The size field of the manifest is a signed 32-bit integer.
inline constexpr std::int64_t kMaxFileSize = 2147483647;

// Why the client could not use `name` as a file of the pack; empty when it can.
std::vector<std::string> NameProblems(std::string_view name);

// What Windows and a player go by to tell two names apart: without a trailing dot or space (Windows
// drops them), composed (NFC) and in upper case. Names with one key are one file to the client.
std::string NameKey(std::string_view name);

// Names that `fold` maps alike, each group in the order given; only groups of two or more (a name
// listed twice makes a group too).
std::vector<std::vector<std::string>> Collisions(
    const std::vector<std::string>& names,
    const std::function<std::string(std::string_view)>& fold);

}  // namespace veltrane::pack
