#include "ui/skin/folder_dialog.h"

#include <objbase.h>
#include <shlobj.h>

#include "base/scoped.h"
#include "base/wide.h"

namespace veltrane::win32::skin {
namespace {

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED && data) {
    const auto* start = reinterpret_cast<const wchar_t*>(data);
    if (*start) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  }
  return 0;
}

}  // namespace

std::optional<std::string> BrowseForFolder(HWND owner, std::string_view start_folder_utf8) {
  const std::wstring start = Widen(start_folder_utf8);
  if (!start.empty()) {
    const DWORD attributes = GetFileAttributesW(start.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      SetCurrentDirectoryW(start.c_str());
  }
  // The shell dialog needs COM on this thread.
  const ScopedComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;  // the desktop
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(start.c_str());
  const ScopedCoMemory<ITEMIDLIST> chosen_item(SHBrowseForFolderW(&info));
  if (!chosen_item) return std::nullopt;
  wchar_t path[MAX_PATH * 2] = {};
  if (!SHGetPathFromIDListW(chosen_item.get(), path)) return std::nullopt;
  return Narrow(path);
}

}  // namespace veltrane::win32::skin
