#pragma once
// An INI store that reads and writes the file itself, with the rules of the platform's
// private-profile services: used where those services are not at hand, and as their model in
// the tests.
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ini_store.h"

namespace veltrane::app {

// How the file's bytes map to the program's UTF-8 text. A file that starts with a UTF-8 or
// UTF-16 byte-order mark is read and written in that encoding whatever the codec says, as the
// platform does.
struct IniCodec {
  std::function<std::string(std::string_view bytes)> to_utf8;
  std::function<std::string(std::string_view utf8)> from_utf8;
};

IniCodec IdentityCodec();

class PortableIniStore final : public IniStore {
 public:
  explicit PortableIniStore(std::string path, IniCodec codec = IdentityCodec());

  const std::string& Path() const override { return path_; }
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const override;
  std::vector<std::string> ReadKeys(std::string_view section) const override;
  std::vector<std::pair<std::string, std::string>> ReadSection(
      std::string_view section) const override;
  void WriteString(std::string_view section, std::string_view key, std::string_view value) override;

  // Replaces the section's keys with `entries` (written in this order, values unchanged), or
  // adds the section at the end, in one write of the file. The header keeps its spelling, blank
  // lines that end the section stay, and every other section and line stays as it is; a later
  // section of the same name, which no read sees, is left alone. Throws IniWriteError like
  // WriteString.
  void WriteSection(std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& entries);

  // Where another reader could take the file otherwise than this one: a NUL character (the
  // platform's reader ends a line at it), a section header that repeats an earlier one, a key
  // that repeats an earlier one of its section (names compared as reads compare them). One line
  // of English for each, naming the line; empty when the file reads one way only, or cannot be
  // read at all.
  std::vector<std::string> Ambiguities() const;

 private:
  std::string path_;
  IniCodec codec_;
};

// The first `limit` code points of a UTF-8 text.
std::string CutToCodePoints(std::string_view utf8, std::size_t limit);

}  // namespace veltrane::app
