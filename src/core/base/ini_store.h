#pragma once
// An INI file bound to a path, with the platform's private-profile semantics: every read and
// write goes straight to the file, so it may be absent, replaced or deleted between calls.
// Below the server access, which reads the manifest through it; it keeps its app:: name, the
// one every reader of the settings and the manifest knows it by.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veltrane::app {

// Longest value a read returns; longer values are cut.
inline constexpr std::size_t kIniValueLimit = 2047;

class IniWriteError : public std::runtime_error {
 public:
  explicit IniWriteError(const std::string& path)
      : std::runtime_error("Unable to write to " + path) {}
};

class IniStore {
 public:
  virtual ~IniStore() = default;
  virtual const std::string& Path() const = 0;
  // The value (blanks around it dropped, at most kIniValueLimit characters), or `def` when the
  // file, the section or the key is absent. Section and key names match without regard to case.
  virtual std::string ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const = 0;
  // The key names of a section in file order; empty when it is absent.
  virtual std::vector<std::string> ReadKeys(std::string_view section) const = 0;
  // The whole section at once: its keys as ReadKeys lists them, each with its value as
  // ReadString gives it. A name that repeats (in any letter case) is listed each time with its
  // own value; ReadString answers with the first, so a lookup takes the first entry of a name.
  // One read of the file however many keys: what a reader of a long list should use.
  virtual std::vector<std::pair<std::string, std::string>> ReadSection(
      std::string_view section) const = 0;
  // Creates the file or section as needed. Throws IniWriteError when the file cannot be written.
  virtual void WriteString(std::string_view section, std::string_view key,
                           std::string_view value) = 0;
};

// How the program opens an INI file by its path: the platform's store, or the portable one.
using IniOpener = std::function<std::unique_ptr<IniStore>(const std::string& path)>;

// A whole number stored as text: decimal, or hexadecimal after "$" or "0x". A missing value or
// one that is not a number gives `def`. (The platform's own integer read would turn "abc" into
// 0, which is why the text is read and converted here.)
std::int32_t ReadInteger(const IniStore& store, std::string_view section, std::string_view key,
                         std::int32_t def);

}  // namespace veltrane::app
