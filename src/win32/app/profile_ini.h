#pragma once
// An INI store over the platform's private-profile services. The file is in the system's ANSI
// code page (or UTF-16 when it starts with a byte-order mark), as those services write it.
#include <string>

#include "base/ini_store.h"

namespace veltrane::win32 {

class ProfileIniStore final : public app::IniStore {
 public:
  // A relative path is made absolute against the current folder now: the platform would put a
  // relative file into the Windows folder.
  explicit ProfileIniStore(const std::string& path);

  const std::string& Path() const override { return path_; }
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const override;
  std::vector<std::string> ReadKeys(std::string_view section) const override;
  std::vector<std::pair<std::string, std::string>> ReadSection(
      std::string_view section) const override;
  void WriteString(std::string_view section, std::string_view key, std::string_view value) override;

 private:
  std::string path_;
  std::wstring wide_path_;
};

}  // namespace veltrane::win32
