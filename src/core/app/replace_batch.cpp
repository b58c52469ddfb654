#include "app/replace_batch.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "base/u8path.h"

namespace veltrane::custom {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::string_view, 9> kUnits = {
    " Байт", " Кб", " Мб.", " Гб.", " Тб.", " Пб.", " Эб.", " Зб.", " Иб.",
};

// Up to 15 significant digits, no trailing zeros, plain notation unless the exponent is 15 or
// more (or the value is below 1e-5), then "1,5E20" style.
std::string GeneralNumber(double value, std::string_view separator) {
  if (value == 0) return "0";
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::scientific, 14);
  const std::string_view text(buffer.data(), static_cast<size_t>(result.ptr - buffer.data()));
  const bool negative = text.front() == '-';
  const size_t e_at = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e_at)) {
    if (c >= '0' && c <= '9') digits += c;
  }
  int exponent = 0;
  const std::string_view exponent_text = text.substr(e_at + 1);
  std::from_chars(exponent_text.data() + (exponent_text.front() == '+' ? 1 : 0),
                  exponent_text.data() + exponent_text.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= 15 || exponent < -5) {
    out += digits.front();
    if (digits.size() > 1) {
      out += separator;
      out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exponent);
  } else if (exponent < 0) {
    out += '0';
    out += separator;
    out.append(static_cast<size_t>(-exponent - 1), '0');
    out += digits;
  } else {
    const size_t whole = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      out += digits;
      out.append(whole - digits.size(), '0');
    } else {
      out += digits.substr(0, whole);
      out += separator;
      out += digits.substr(whole);
    }
  }
  return out;
}

}  // namespace

std::string SizeToText(double bytes, std::string_view decimal_separator) {
  if (!std::isfinite(bytes)) return {};
  const long double count = bytes;
  long double scale = 1;
  size_t unit = 0;
  // 1024^k is exact in long double, so the range limits are exact.
  while (unit < kUnits.size() && count >= scale * 1024) {
    scale *= 1024;
    ++unit;
  }
  if (unit == kUnits.size()) return {};
  // Round to three places with ties to even (the default rounding mode of nearbyint).
  const long double rounded = std::nearbyint(count / scale * 1000) / 1000;
  return GeneralNumber(static_cast<double>(rounded), decimal_separator) + std::string(kUnits[unit]);
}

std::int64_t FileSizeOf(const std::string& utf8_path) {
  const fs::path path = U8Path(utf8_path);
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status) || fs::is_directory(status)) return 0;

  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileReadError("cannot open " + utf8_path);
  // Read through in chunks: the size is what can be read, and a file of any size costs
  // one buffer.
  std::vector<char> chunk(256 * 1024);
  std::int64_t total = 0;
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    total += in.gcount();
  }
  if (in.bad() || !in.eof()) throw FileReadError("cannot read " + utf8_path);
  return total;
}

bool MoveFileTo(const std::string& utf8_source, const std::string& utf8_target,
                bool keep_existing) noexcept {
  try {
    const fs::path source = U8Path(utf8_source);
    const fs::path target = U8Path(utf8_target);
    std::error_code ec;
    if (fs::exists(target, ec)) {
      if (keep_existing) return false;
      fs::remove(target, ec);  // the outcome shows in the next test
    }
    // A plain move never replaces: std::filesystem::rename would.
    if (fs::exists(fs::symlink_status(target, ec))) return false;
    if (!fs::exists(fs::symlink_status(source, ec))) return false;
    fs::rename(source, target, ec);
    if (!ec) return true;
    if (ec != std::errc::cross_device_link) return false;
    // Another volume: copy, then remove the original; undo the copy if that fails, so a
    // failure leaves things as they were.
    if (!fs::copy_file(source, target, fs::copy_options::none, ec) || ec) {
      fs::remove(target, ec);
      return false;
    }
    if (!fs::remove(source, ec) || ec) {
      fs::remove(target, ec);
      return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

std::string RandomDigits(std::uint8_t count) {
  std::mt19937_64 engine(static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count()));
  std::uniform_int_distribution<int> digit(0, 9);
  std::string text;
  text.reserve(count);
  for (int i = 0; i < count; ++i) text += static_cast<char>('0' + digit(engine));
  return text;
}

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

bool ProcessNameMatches(std::string_view exe_path, std::string_view wanted) {
  const size_t slash = exe_path.find_last_of("\\/");
  if (slash != std::string_view::npos) exe_path.remove_prefix(slash + 1);
  // Cutting the exe name to the wanted length and comparing is a prefix test.
  if (exe_path.size() < wanted.size()) return false;
  return AsciiUpper(exe_path.substr(0, wanted.size())) == AsciiUpper(wanted);
}

bool IsPlainVersion(std::string_view text) {
  if (text.empty() || text.size() > kMaxVersionLength) return false;
  for (char c : text) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    c == '.' || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool IsBatchSafeName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
    if (std::string_view("\"%&|<>^*?\\/:").find(c) != std::string_view::npos) return false;
  }
  return true;
}

std::vector<std::string> ReplaceBatchLines(std::string_view own_name, std::string_view target,
                                           std::string_view downloaded) {
  const bool has_target = target != kNoFile;
  const bool has_downloaded = downloaded != kNoFile;
  if (!IsBatchSafeName(own_name)) return {};
  if (has_target && !IsBatchSafeName(target)) return {};
  if (has_downloaded && !IsBatchSafeName(downloaded)) return {};

  const auto quoted = [](std::string_view name) {
    std::string text(1, '"');
    text.append(name);
    text += '"';
    return text;
  };
  const std::string own = quoted(own_name);

  // The running program goes only when a file is there to take its place: the downloaded one,
  // or else the target itself (unless that is the running program's own file).
  std::string_view successor;
  if (has_downloaded) {
    successor = downloaded;
  } else if (has_target) {
    successor = target;
  }
  if (!successor.empty() && AsciiUpper(successor) == AsciiUpper(own_name)) successor = {};

  std::vector<std::string> lines = {
      "chcp 1251",
      // Started from anywhere, the bare names below must resolve in the program's folder.
      "cd /d \"%~dp0\"",
  };
  if (successor.empty()) {
    if (has_target) lines.push_back("start " + quoted(target) + " " + quoted(target));
    lines.push_back("del \"%~f0\"");
    return lines;
  }

  // A bounded wait: the old program may hold its file for a moment after it ended. Wine's cmd
  // has no `timeout`; ping waits about a second.
  const auto retry = [&lines](const std::string& label, const std::string& step,
                              const std::string& gone, const std::string& done,
                              const std::string& given_up) {
    lines.push_back("set tries=0");
    lines.push_back(":" + label);
    lines.push_back(step);
    lines.push_back(gone + " goto " + done);
    lines.push_back("set /a tries+=1");
    lines.push_back("if %tries% geq " + std::to_string(kReplaceBatchTries) + " goto " + given_up);
    lines.push_back("ping -n 2 127.0.0.1 >nul");
    lines.push_back("goto " + label);
  };
  lines.push_back("if not exist " + quoted(successor) + " goto done");

  if (!(has_downloaded && has_target)) {
    retry("retry", "if exist " + own + " del /q /f " + own, "if not exist " + own, "replace",
          "done");
    lines.push_back(":replace");
    if (has_target) lines.push_back("start " + quoted(target) + " " + quoted(target));
    lines.push_back(":done");
    lines.push_back("del \"%~f0\"");
    return lines;
  }

  // The old program is moved aside rather than deleted, and removed only once the new file
  // holds its final name; when the new file cannot take that name the old one is put back and
  // started again. No step that fails can leave the folder without a program.
  const std::string aside = quoted(std::string(downloaded) + std::string(kAsideSuffix));
  const std::string fresh = quoted(downloaded);
  const std::string final_name = quoted(target);
  lines.push_back("if exist " + aside + " del /q /f " + aside);
  retry("retry", "if exist " + own + " ren " + own + " " + aside, "if not exist " + own, "replace",
        "abandon");
  lines.push_back(":replace");
  lines.push_back("if exist " + final_name + " del /q /f " + final_name);
  lines.push_back("ren " + fresh + " " + final_name);
  lines.push_back("if not exist " + fresh + " goto placed");
  lines.push_back("ren " + aside + " " + own);
  lines.push_back("del /q /f " + fresh);
  lines.push_back("start " + own + " " + own);
  lines.push_back("goto done");
  lines.push_back(":placed");
  retry("cleanup", "if exist " + aside + " del /q /f " + aside, "if not exist " + aside, "start",
        "start");
  lines.push_back(":start");
  lines.push_back("start " + final_name + " " + final_name);
  lines.push_back("goto done");
  lines.push_back(":abandon");
  lines.push_back("del /q /f " + fresh);
  lines.push_back(":done");
  lines.push_back("del \"%~f0\"");
  return lines;
}

}  // namespace veltrane::custom
