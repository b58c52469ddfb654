#include "ui/skin/folder_dialog.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/wide.h"

namespace {

namespace skin = veltrane::win32::skin;

bool g_folder_dialog_seen = false;
WPARAM g_folder_dialog_button = IDCANCEL;

TEST(FolderDialogTest, OpensOnTheStartFolderWhichBecomesCurrent) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring start = std::wstring(temp) + L"veltrane_skin_папка";
  CreateDirectoryW(start.c_str(), nullptr);
  wchar_t before[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, before);

  // Press Cancel as soon as the dialog is up.
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM) {
          wchar_t cls[16] = {};
          GetClassNameW(w, cls, 16);
          if (lstrcmpW(cls, L"#32770") == 0) {
            g_folder_dialog_seen = true;
            PostMessageW(w, WM_COMMAND, g_folder_dialog_button, 0);
          }
          return TRUE;
        },
        0);
  });
  const std::string utf8 = veltrane::win32::Narrow(start);
  g_folder_dialog_button = IDCANCEL;
  const auto chosen = skin::BrowseForFolder(nullptr, utf8);
  // OK takes the folder that the dialog opened with.
  g_folder_dialog_button = IDOK;
  const auto accepted = skin::BrowseForFolder(nullptr, utf8);
  KillTimer(nullptr, timer);
  wchar_t now[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, now);
  SetCurrentDirectoryW(before);
  RemoveDirectoryW(start.c_str());
  EXPECT_TRUE(g_folder_dialog_seen);
  EXPECT_FALSE(chosen.has_value());
  ASSERT_TRUE(accepted.has_value());
  EXPECT_EQ(*accepted, utf8);
  EXPECT_EQ(lstrcmpiW(std::filesystem::path(now).lexically_normal().c_str(),
                      std::filesystem::path(start).lexically_normal().c_str()),
            0);
}

}  // namespace
