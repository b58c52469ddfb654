#include "net/manifest_terms.h"

#include <cstdio>
#include <fstream>
#include <string>

#include "base/paths.h"
#include "base/u8path.h"
#include "net/http_headers.h"
#include "net/server_paths.h"

namespace veltrane::net {
namespace {

// Howard Hinnant's days_from_civil and civil_from_days, on a proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

Date CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

std::int64_t Days(const Date& date) {
  return DaysFromCivil(date.year, static_cast<unsigned>(date.month),
                       static_cast<unsigned>(date.day));
}

std::int64_t ReadAccepted(const std::string& file) {
  std::ifstream in(U8Path(file), std::ios::binary);
  std::string text;
  std::getline(in, text);
  return ParseDecimal(text).value_or(0);
}

}  // namespace

std::optional<Date> ParseDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const auto year = ParseDecimal(text.substr(0, 4));
  const auto month = ParseDecimal(text.substr(5, 2));
  const auto day = ParseDecimal(text.substr(8, 2));
  if (!year || !month || !day || *month < 1 || *month > 12 || *day < 1) return std::nullopt;
  const Date date{static_cast<int>(*year), static_cast<int>(*month), static_cast<int>(*day)};
  // A day the month does not have comes back as another date.
  if (CivilFromDays(Days(date)) != date) return std::nullopt;
  return date;
}

std::string IsoText(const Date& date) {
  char text[16];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

std::string ConsoleText(const Date& date) {
  char text[16];
  std::snprintf(text, sizeof(text), "%02d.%02d.%04d", date.day, date.month, date.year);
  return text;
}

Date UtcDay(std::chrono::system_clock::time_point when) {
  const auto days = std::chrono::floor<std::chrono::days>(when.time_since_epoch()).count();
  return CivilFromDays(days);
}

Date AddDays(const Date& date, int days) {
  return CivilFromDays(Days(date) + days);
}

int DaysBetween(const Date& from, const Date& to) {
  return static_cast<int>(Days(to) - Days(from));
}

ManifestTerms ReadTerms(const app::IniStore& manifest) {
  ManifestTerms terms;
  terms.serial = ParseDecimal(manifest.ReadString(kUpdateSection, kSerialKey, "")).value_or(0);
  terms.expires_text = manifest.ReadString(kUpdateSection, kExpiresKey, "");
  if (!terms.expires_text.empty()) terms.expires = ParseDate(terms.expires_text);
  return terms;
}

bool Expired(const ManifestTerms& terms, const Date& today) {
  if (terms.expires_text.empty()) return false;
  return !terms.expires || today > *terms.expires;
}

Judgement JudgeManifest(const app::IniStore& manifest, const std::string& manifest_file,
                        std::string_view data_folder, std::chrono::system_clock::time_point now) {
  Judgement judgement;
  judgement.terms = ReadTerms(manifest);
  const std::string accepted = JoinPath(data_folder, kAcceptedSerialFileName);
  judgement.highest = ReadAccepted(accepted);
  if (judgement.terms.serial < judgement.highest) {
    judgement.standing = Standing::kOlder;
    DeleteFileAt(manifest_file);
    return judgement;
  }
  if (judgement.terms.serial > judgement.highest) {
    // A write that fails leaves the older floor, nothing worse.
    std::ofstream(U8Path(accepted), std::ios::binary | std::ios::trunc)
        << judgement.terms.serial << "\n";
  }
  if (Expired(judgement.terms, UtcDay(now))) judgement.standing = Standing::kExpired;
  return judgement;
}

std::string OlderManifestLine(const Judgement& judgement) {
  return "Конфиг сервера старее уже полученного (выпуск " + std::to_string(judgement.terms.serial) +
         " < " + std::to_string(judgement.highest) + "), он не принят.";
}

std::string ExpiredManifestLine(const Judgement& judgement) {
  const ManifestTerms& terms = judgement.terms;
  return "Срок действия конфига сервера истёк " +
         (terms.expires ? ConsoleText(*terms.expires) : terms.expires_text) +
         ": обновление программы не предлагается.";
}

}  // namespace veltrane::net
