#include "net/manifest_terms.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "base/paths.h"
#include "base/u8path.h"
#include "net/http_headers.h"
#include "net/server_paths.h"

namespace veltrane::net {
namespace {

namespace chrono = std::chrono;

Date CivilFromDays(std::int64_t days) {
  const chrono::year_month_day civil{chrono::sys_days{chrono::days{days}}};
  return {static_cast<int>(civil.year()), static_cast<int>(static_cast<unsigned>(civil.month())),
          static_cast<int>(static_cast<unsigned>(civil.day()))};
}

std::int64_t Days(const Date& date) {
  const chrono::year_month_day civil{chrono::year{date.year},
                                     chrono::month{static_cast<unsigned>(date.month)},
                                     chrono::day{static_cast<unsigned>(date.day)}};
  return chrono::sys_days{civil}.time_since_epoch().count();
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
