#include "app/profile_ini.h"

#include <windows.h>

#include "base/wide.h"

namespace veltrane::win32 {
namespace {

std::wstring FullPath(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return full;
}

}  // namespace

ProfileIniStore::ProfileIniStore(const std::string& path) : wide_path_(FullPath(Widen(path))) {
  path_ = Narrow(wide_path_);
}

std::string ProfileIniStore::ReadString(std::string_view section, std::string_view key,
                                        std::string_view def) const {
  // One more than the longest value, for the terminating null.
  wchar_t buffer[app::kIniValueLimit + 1];
  const DWORD length =
      GetPrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(def).c_str(),
                               buffer, static_cast<DWORD>(std::size(buffer)), wide_path_.c_str());
  return Narrow(std::wstring_view(buffer, length));
}

std::vector<std::string> ProfileIniStore::ReadKeys(std::string_view section) const {
  const std::wstring wide_section = Widen(section);
  std::wstring buffer(4096, L'\0');
  DWORD length = 0;
  for (;;) {
    const auto size = static_cast<DWORD>(buffer.size());
    length = GetPrivateProfileStringW(wide_section.c_str(), nullptr, L"", buffer.data(), size,
                                      wide_path_.c_str());
    // A list that did not fit comes back as size - 2 characters.
    if (length + 2 < size) break;
    buffer.assign(buffer.size() * 2, L'\0');
  }
  // Names follow one another, each ending in a null; the count excludes the list's final null.
  std::vector<std::string> keys;
  std::size_t start = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (buffer[i] != L'\0') continue;
    keys.push_back(Narrow(std::wstring_view(buffer).substr(start, i - start)));
    start = i + 1;
  }
  return keys;
}

void ProfileIniStore::WriteString(std::string_view section, std::string_view key,
                                  std::string_view value) {
  if (!WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(value).c_str(),
                                  wide_path_.c_str())) {
    throw app::IniWriteError(path_);
  }
}

}  // namespace veltrane::win32
