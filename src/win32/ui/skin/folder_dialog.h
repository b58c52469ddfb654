#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace veltrane::win32::skin {

// Folder dialog rooted at the desktop. The start folder is selected first and, when it exists,
// also becomes the process's working directory. Returns the chosen folder, or nullopt on Cancel.
std::optional<std::string> BrowseForFolder(HWND owner, std::string_view start_folder_utf8);

}  // namespace veltrane::win32::skin
