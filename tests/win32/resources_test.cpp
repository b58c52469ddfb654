// The program's .exe as Windows shows it: its version information and its manifest, read back
// from the built file.
#include <windows.h>
#include <gtest/gtest.h>
#include <objbase.h>

#include <cstring>
#include <filesystem>
#include <ranges>
#include <set>
#include <string>
#include <vector>

#include "app/startup.h"
#include "base/ascii.h"
#include "base/wide.h"

namespace {

using namespace veltrane::win32;

// The built program, found from this test program's own folder.
std::filesystem::path ProgramPath() {
  wchar_t own[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, own, MAX_PATH);
  return (std::filesystem::path(own).parent_path() / VELTRANE_PROGRAM_FROM_TESTS)
      .lexically_normal();
}

// The version the program compares with the server's, as four numbers.
std::vector<WORD> AppVersionNumbers() {
  std::vector<WORD> numbers;
  for (const auto part : std::views::split(veltrane::app::kAppVersion, '.'))
    numbers.push_back(static_cast<WORD>(std::stoi(std::string(part.begin(), part.end()))));
  return numbers;
}

TEST(ProgramResourcesTest, VersionInformationNamesTheProgramAndTheVersionItChecks) {
  const std::wstring path = ProgramPath().wstring();
  std::vector<char> info(GetFileVersionInfoSizeW(path.c_str(), nullptr));
  ASSERT_FALSE(info.empty()) << "no version information in " << Narrow(path);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  const std::vector<WORD> version = AppVersionNumbers();
  ASSERT_EQ(version.size(), 4u);
  for (const auto& [ms, ls] : {std::pair{fixed->dwFileVersionMS, fixed->dwFileVersionLS},
                               std::pair{fixed->dwProductVersionMS, fixed->dwProductVersionLS}}) {
    EXPECT_EQ((std::vector<WORD>{HIWORD(ms), LOWORD(ms), HIWORD(ls), LOWORD(ls)}), version);
  }

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &size));
  ASSERT_GE(size, 2 * sizeof(WORD));
  EXPECT_EQ(translation[0], 0x0419);  // Russian
  EXPECT_EQ(translation[1], 1251);

  const std::string program_file = Narrow(ProgramPath().filename().wstring());
  const std::string app_version(veltrane::app::kAppVersion);
  const struct {
    const wchar_t* name;
    std::string expected;
  } strings[] = {
      {L"FileVersion", app_version},
      {L"ProductVersion", app_version},
      {L"ProductName", "Veltrane Dravenna"},
      {L"OriginalFilename", program_file},
      {L"CompanyName", "Pellwick"},
      {L"FileDescription", "Veltrane Dravenna: синхронизация модов"},
  };
  for (const auto& s : strings) {
    const std::wstring key = std::wstring(L"\\StringFileInfo\\041904E3\\") + s.name;
    wchar_t* value = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &size))
        << Narrow(s.name);
    EXPECT_EQ(Narrow(value), s.expected) << Narrow(s.name);
  }
}

// The supported systems, by the ids Windows gives them in manifests.
const char* const kSupportedOs[] = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
};

TEST(ProgramResourcesTest, ManifestRunsAsInvokerOnWindows7To11WithTheClassicControls) {
  const std::wstring path = ProgramPath().wstring();
  const HMODULE program = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(program, nullptr) << Narrow(path);
  std::string manifest;
  if (HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(program, found)));
    manifest.assign(bytes, SizeofResource(program, found));
  }
  FreeLibrary(program);
  ASSERT_FALSE(manifest.empty()) << "no manifest";

  EXPECT_NE(manifest.find(R"(<requestedExecutionLevel level="asInvoker")"), std::string::npos);
  for (const char* id : kSupportedOs)
    EXPECT_NE(manifest.find(std::string(R"(<supportedOS Id=")") + id + '"'), std::string::npos)
        << id;
  // The skin subclasses and paints the classic system controls; version 6 would swap them.
  EXPECT_EQ(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);

  // The loader reads the same: an unreadable manifest would stop the program from starting.
  ACTCTXW request{};
  request.cbSize = sizeof(request);
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = path.c_str();
  request.lpResourceName = MAKEINTRESOURCEW(1);
  const HANDLE context = CreateActCtxW(&request);
  ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();
  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION run_level{};
  EXPECT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &run_level,
                           sizeof(run_level), nullptr));
  EXPECT_EQ(run_level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
  char buffer[512] = {};
  SIZE_T written = 0;
  EXPECT_TRUE(QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext, buffer,
                           sizeof(buffer), &written));
  ReleaseActCtx(context);
  // Windows 10 (and Wine) give each element a MaxVersionTested field that mingw's headers lack;
  // the size written tells the two layouts apart.
  DWORD count = 0;
  memcpy(&count, buffer, sizeof(count));
  const bool with_max_version = written == 8 + 32 * count;
  ASSERT_TRUE(with_max_version || written == 4 + 20 * count) << written << " bytes";
  const size_t first = with_max_version ? 8 : 4, stride = with_max_version ? 32 : 20;
  std::set<std::string> systems;
  for (DWORD i = 0; i < count && first + (i + 1) * stride <= sizeof(buffer); ++i) {
    GUID id;
    DWORD type = 0;
    memcpy(&id, buffer + first + i * stride, sizeof(id));
    memcpy(&type, buffer + first + i * stride + sizeof(id), sizeof(type));
    if (type != ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS) continue;
    wchar_t text[40] = {};
    StringFromGUID2(id, text, 40);
    systems.insert(Narrow(text));
  }
  std::set<std::string> expected;
  for (const char* id : kSupportedOs) expected.insert(veltrane::AsciiUpper(id));
  EXPECT_EQ(systems, expected);
}

}  // namespace
