#pragma once
#include <string_view>

namespace veltrane {

// Whether a process whose executable is `exe_path` (folder optional) counts as `wanted`: its
// file name cut to the length of `wanted`, compared with A to Z folded. Empty `wanted` matches.
bool ProcessNameMatches(std::string_view exe_path, std::string_view wanted);

}  // namespace veltrane
