#include "base/portable_ini.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <utility>

#include "base/ascii.h"
#include "base/u8path.h"
#include "base/utf8.h"

namespace veltrane::app {
namespace {

enum class Encoding { kCodec, kUtf8Bom, kUtf16Le, kUtf16Be };

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

constexpr std::uint32_t kReplacement = 0xFFFD;

std::string Utf16ToUtf8(std::string_view bytes, bool big_endian) {
  std::string out;
  const std::size_t units = bytes.size() / 2;
  auto unit = [&](std::size_t i) -> std::uint32_t {
    const auto b0 = static_cast<unsigned char>(bytes[2 * i]);
    const auto b1 = static_cast<unsigned char>(bytes[2 * i + 1]);
    return big_endian ? (b0 << 8 | b1) : (b1 << 8 | b0);
  };
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint32_t u = unit(i);
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < units) {
      const std::uint32_t low = unit(i + 1);
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, (u >= 0xD800 && u < 0xE000) ? kReplacement : u);
  }
  return out;
}

// Decodes one code point at `i`, advancing it; malformed input gives U+FFFD for one byte, and
// a value above U+10FFFF gives U+FFFD for its whole sequence.
std::uint32_t NextCodePoint(std::string_view text, std::size_t& i) {
  const Utf8Sequence sequence = DecodeUtf8(text, i);
  if (sequence.length == 0) {
    ++i;
    return kReplacement;
  }
  i += sequence.length;
  return sequence.value > 0x10FFFF ? kReplacement : sequence.value;
}

std::string Utf8ToUtf16(std::string_view text, bool big_endian) {
  std::string out;
  auto put = [&](std::uint32_t u) {
    const char hi = static_cast<char>(u >> 8);
    const char lo = static_cast<char>(u & 0xFF);
    out += big_endian ? hi : lo;
    out += big_endian ? lo : hi;
  };
  for (std::size_t i = 0; i < text.size();) {
    const std::uint32_t cp = NextCodePoint(text, i);
    if (cp >= 0x10000) {
      put(0xD800 + ((cp - 0x10000) >> 10));
      put(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      put(cp);
    }
  }
  return out;
}

// The file as UTF-8 text and the encoding to write it back in; nothing when it cannot be read.
struct FileText {
  std::string text;
  Encoding encoding = Encoding::kCodec;
};

std::optional<FileText> LoadFile(const std::string& path, const IniCodec& codec) {
  std::ifstream in(U8Path(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  std::array<char, 64 * 1024> chunk;
  while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
    bytes.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
  }
  const std::string_view view = bytes;
  if (view.starts_with(kUtf8Bom)) {
    return FileText{std::string(view.substr(kUtf8Bom.size())), Encoding::kUtf8Bom};
  }
  if (view.starts_with("\xFF\xFE"))
    return FileText{Utf16ToUtf8(view.substr(2), false), Encoding::kUtf16Le};
  if (view.starts_with("\xFE\xFF"))
    return FileText{Utf16ToUtf8(view.substr(2), true), Encoding::kUtf16Be};
  return FileText{codec.to_utf8(view), Encoding::kCodec};
}

std::string Encode(const std::string& text, Encoding encoding, const IniCodec& codec) {
  std::string bytes;
  switch (encoding) {
    case Encoding::kUtf8Bom:
      bytes = kUtf8Bom;
      bytes += text;
      return bytes;
    case Encoding::kUtf16Le:
      bytes = "\xFF\xFE";
      bytes += Utf8ToUtf16(text, false);
      return bytes;
    case Encoding::kUtf16Be:
      bytes = "\xFE\xFF";
      bytes += Utf8ToUtf16(text, true);
      return bytes;
    case Encoding::kCodec:
      break;
  }
  return codec.from_utf8(text);
}

// The lines of a text, as views into it.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

// A section header names its section; text after the closing bracket is ignored, and a line
// without one is no header at all.
std::optional<std::string_view> HeaderName(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (!trimmed.starts_with('[')) return std::nullopt;
  const std::size_t close = trimmed.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(trimmed.substr(1, close - 1));
}

struct KeyLine {
  std::string_view name;
  std::string_view value;
};

// Comment lines and lines without an equals sign hold no key.
std::optional<KeyLine> ParseKeyLine(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.starts_with(';')) return std::nullopt;
  const std::size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return KeyLine{Trim(trimmed.substr(0, equals)), trimmed.substr(equals + 1)};
}

// The lines [begin, end) below a section's header. Lines before the first header form a
// section with an empty name.
struct SectionRange {
  std::size_t header = 0;
  std::size_t begin = 0;
  std::size_t end = 0;
};

// Only the first of several sections with the same name counts, as with the platform.
std::optional<SectionRange> FindSection(const std::vector<std::string_view>& lines,
                                        std::string_view wanted) {
  wanted = Trim(wanted);
  std::optional<SectionRange> found;
  if (wanted.empty()) found = SectionRange{0, 0, lines.size()};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto name = HeaderName(lines[i]);
    if (!name) continue;
    if (found) {
      found->end = i;
      return found;
    }
    if (AsciiEqualNoCase(*name, wanted)) found = SectionRange{i, i + 1, lines.size()};
  }
  return found;
}

std::optional<std::size_t> FindKey(const std::vector<std::string_view>& lines,
                                   const SectionRange& section, std::string_view key) {
  key = Trim(key);
  for (std::size_t i = section.begin; i < section.end; ++i) {
    const auto entry = ParseKeyLine(lines[i]);
    if (entry && AsciiEqualNoCase(entry->name, key)) return i;
  }
  return std::nullopt;
}

std::string Unquote(std::string_view value) {
  value = Trim(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

// What a read returns for a key line's value.
std::string ValueOf(const KeyLine& entry) {
  return CutToCodePoints(Unquote(entry.value), kIniValueLimit);
}

// One past the section's last non-blank line: blank lines after it separate it from the next.
std::size_t EndOfContent(const std::vector<std::string_view>& lines, const SectionRange& section) {
  std::size_t end = section.begin;
  for (std::size_t i = section.begin; i < section.end; ++i) {
    if (!Trim(lines[i]).empty()) end = i + 1;
  }
  return end;
}

// Writes the file anew as `lines` with `count` lines from `at` on replaced by `inserted`.
void Splice(const std::string& path, const FileText& file,
            const std::vector<std::string_view>& lines, std::size_t at, std::size_t count,
            const std::vector<std::string>& inserted, const IniCodec& codec) {
  std::string text;
  text.reserve(file.text.size() + 2 * lines.size());
  const auto put = [&text](std::string_view line) {
    text += line;
    text += "\r\n";
  };
  for (std::size_t i = 0; i < at; ++i) put(lines[i]);
  for (const std::string& line : inserted) put(line);
  for (std::size_t i = at + count; i < lines.size(); ++i) put(lines[i]);
  const std::string bytes = Encode(text, file.encoding, codec);

  std::ofstream out(U8Path(path), std::ios::binary | std::ios::trunc);
  if (!out) throw IniWriteError(path);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) throw IniWriteError(path);
}

std::string KeyLineText(std::string_view key, std::string_view value) {
  std::string line(Trim(key));
  line += '=';
  line += value;
  return line;
}

}  // namespace

IniCodec IdentityCodec() {
  auto same = [](std::string_view text) { return std::string(text); };
  return IniCodec{same, same};
}

std::string CutToCodePoints(std::string_view utf8, std::size_t limit) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) continue;
    if (count == limit) return std::string(utf8.substr(0, i));
    ++count;
  }
  return std::string(utf8);
}

PortableIniStore::PortableIniStore(std::string path, IniCodec codec)
    : path_(std::move(path)), codec_(std::move(codec)) {}

std::string PortableIniStore::ReadString(std::string_view section, std::string_view key,
                                         std::string_view def) const {
  if (const auto file = LoadFile(path_, codec_)) {
    const std::vector<std::string_view> lines = SplitLines(file->text);
    if (const auto range = FindSection(lines, section)) {
      if (const auto index = FindKey(lines, *range, key)) {
        return ValueOf(*ParseKeyLine(lines[*index]));
      }
    }
  }
  // The platform drops trailing spaces (not tabs) from the default.
  while (!def.empty() && def.back() == ' ') def.remove_suffix(1);
  return CutToCodePoints(def, kIniValueLimit);
}

std::vector<std::string> PortableIniStore::ReadKeys(std::string_view section) const {
  std::vector<std::string> keys;
  for (auto& [name, value] : ReadSection(section)) keys.push_back(std::move(name));
  return keys;
}

std::vector<std::pair<std::string, std::string>> PortableIniStore::ReadSection(
    std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> entries;
  const auto file = LoadFile(path_, codec_);
  if (!file) return entries;
  const std::vector<std::string_view> lines = SplitLines(file->text);
  const auto range = FindSection(lines, section);
  if (!range) return entries;
  for (std::size_t i = range->begin; i < range->end; ++i) {
    if (const auto entry = ParseKeyLine(lines[i])) {
      entries.emplace_back(std::string(entry->name), ValueOf(*entry));
    }
  }
  return entries;
}

void PortableIniStore::WriteString(std::string_view section, std::string_view key,
                                   std::string_view value) {
  const FileText file = LoadFile(path_, codec_).value_or(FileText{});
  const std::vector<std::string_view> lines = SplitLines(file.text);
  const auto range = FindSection(lines, section);
  if (!range) {
    Splice(path_, file, lines, lines.size(), 0,
           {"[" + std::string(Trim(section)) + "]", KeyLineText(key, value)}, codec_);
  } else if (const auto index = FindKey(lines, *range, key)) {
    // The key keeps the spelling it has in the file.
    Splice(path_, file, lines, *index, 1, {KeyLineText(ParseKeyLine(lines[*index])->name, value)},
           codec_);
  } else {
    // New keys go after the section's last non-blank line, before any blank lines that
    // separate it from the next section.
    Splice(path_, file, lines, EndOfContent(lines, *range), 0, {KeyLineText(key, value)}, codec_);
  }
}

void PortableIniStore::WriteSection(
    std::string_view section, const std::vector<std::pair<std::string, std::string>>& entries) {
  const FileText file = LoadFile(path_, codec_).value_or(FileText{});
  const std::vector<std::string_view> lines = SplitLines(file.text);
  const auto range = FindSection(lines, section);
  std::vector<std::string> inserted;
  inserted.reserve(entries.size() + 1);
  if (!range) inserted.push_back("[" + std::string(Trim(section)) + "]");
  for (const auto& [key, value] : entries) inserted.push_back(KeyLineText(key, value));
  if (range) {
    Splice(path_, file, lines, range->begin, EndOfContent(lines, *range) - range->begin, inserted,
           codec_);
  } else {
    Splice(path_, file, lines, lines.size(), 0, inserted, codec_);
  }
}

std::vector<std::string> PortableIniStore::Ambiguities() const {
  std::vector<std::string> found;
  const auto file = LoadFile(path_, codec_);
  if (!file) return found;
  const std::vector<std::string_view> lines = SplitLines(file->text);
  const auto line_text = [](std::size_t i) { return "line " + std::to_string(i + 1); };
  const auto section_text = [](std::string_view name) {
    return name.empty() ? std::string("before the first section")
                        : "in [" + std::string(name) + "]";
  };
  // Names as reads match them, with the line each first appeared on.
  std::map<std::string, std::size_t> sections;
  std::map<std::string, std::size_t> keys;
  std::string_view section;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find('\0') != std::string_view::npos) {
      found.push_back(line_text(i) + ": a NUL character");
      continue;
    }
    if (const auto header = HeaderName(lines[i])) {
      section = *header;
      keys.clear();
      const auto [first, added] = sections.emplace(AsciiUpper(section), i);
      if (!added) {
        found.push_back(line_text(i) + ": section [" + std::string(section) + "] again, first at " +
                        line_text(first->second));
      }
      continue;
    }
    const auto entry = ParseKeyLine(lines[i]);
    if (!entry) continue;
    const auto [first, added] = keys.emplace(AsciiUpper(entry->name), i);
    if (!added) {
      found.push_back(line_text(i) + ": key " + std::string(entry->name) + " again " +
                      section_text(section) + ", first at " + line_text(first->second));
    }
  }
  return found;
}

}  // namespace veltrane::app
