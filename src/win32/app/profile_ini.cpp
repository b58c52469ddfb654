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

// A list of null-terminated texts as the private-profile reads return it, read in full: a list
// that did not fit comes back as size - 2 characters, so the buffer grows until it fits.
template <typename Read>
std::vector<std::wstring_view> ReadList(std::wstring& buffer, Read read) {
  buffer.assign(4096, L'\0');
  DWORD length = 0;
  for (;;) {
    const auto size = static_cast<DWORD>(buffer.size());
    length = read(buffer.data(), size);
    if (length + 2 < size) break;
    buffer.assign(buffer.size() * 2, L'\0');
  }
  // The count excludes the list's final null.
  std::vector<std::wstring_view> items;
  std::size_t start = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (buffer[i] != L'\0') continue;
    items.push_back(std::wstring_view(buffer).substr(start, i - start));
    start = i + 1;
  }
  return items;
}

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t';
}

std::wstring_view Trim(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
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
  std::wstring buffer;
  std::vector<std::string> keys;
  for (const std::wstring_view name : ReadList(buffer, [&](wchar_t*data, DWORD size) {
         return GetPrivateProfileStringW(wide_section.c_str(), nullptr, L"", data, size,
                                         wide_path_.c_str());
       })) {
    keys.push_back(Narrow(name));
  }
  return keys;
}

std::vector<std::pair<std::string, std::string>> ProfileIniStore::ReadSection(
    std::string_view section) const {
  const std::wstring wide_section = Widen(section);
  std::wstring buffer;
  std::vector<std::pair<std::string, std::string>> entries;
  // The section comes back as its lines, blanks around names and values dropped, but values
  // neither unquoted nor cut as a read of one key does, and with lines that hold no key: those
  // steps are made here so both reads agree.
  for (const std::wstring_view line : ReadList(buffer, [&](wchar_t*data, DWORD size) {
         return GetPrivateProfileSectionW(wide_section.c_str(), data, size, wide_path_.c_str());
       })) {
    const std::size_t equals = line.find(L'=');
    if (equals == std::wstring_view::npos) continue;
    const std::wstring_view name = Trim(line.substr(0, equals));
    if (name.starts_with(L';')) continue;
    std::wstring_view value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    entries.emplace_back(Narrow(name), Narrow(value.substr(0, app::kIniValueLimit)));
  }
  return entries;
}

void ProfileIniStore::WriteString(std::string_view section, std::string_view key,
                                  std::string_view value) {
  if (!WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(value).c_str(),
                                  wide_path_.c_str())) {
    throw app::IniWriteError(path_);
  }
}

}  // namespace veltrane::win32
