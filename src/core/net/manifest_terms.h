#pragma once
// A signed manifest's terms, which stop a host from replaying an old signed pack or freezing
// players on one: its serial, which a program built with a key never lets go down, and its
// expiry, past which it offers no self-update.
#include <chrono>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/ini_store.h"

namespace veltrane::net {

struct Date {
  int year = 0;
  int month = 0;
  int day = 0;
  auto operator<=>(const Date&) const = default;
};

// "YYYY-MM-DD" as the manifest writes it, a real day of the calendar; nullopt for anything else.
std::optional<Date> ParseDate(std::string_view text);
// As the manifest writes it.
std::string IsoText(const Date& date);
// As the console shows it: "01.06.2027".
std::string ConsoleText(const Date& date);
// The day in UTC.
Date UtcDay(std::chrono::system_clock::time_point when);
// `days` later.
Date AddDays(const Date& date, int days);
// Days from `from` to `to` (negative when `to` is earlier).
int DaysBetween(const Date& from, const Date& to);

struct ManifestTerms {
  std::int64_t serial = 0;      // 0 when the manifest names none, or not a plain number
  std::string expires_text;     // as written; empty when it names none
  std::optional<Date> expires;  // nullopt when it names none or cannot be read
};
ManifestTerms ReadTerms(const app::IniStore& manifest);
// Whether the manifest is past its last day on `today`; one whose expiry cannot be read is.
bool Expired(const ManifestTerms& terms, const Date& today);

enum class Standing {
  kCurrent,  // taken: not older than what was taken before, not expired
  kExpired,  // taken for its mods, but it offers no self-update
  kOlder,    // refused: a replay of an older pack
};
struct Judgement {
  Standing standing = Standing::kCurrent;
  ManifestTerms terms;
  std::int64_t highest = 0;  // the highest serial taken before this one
};

// For a program built with a key, on a manifest just taken under the key (its local copy read
// through `manifest`): an older one than the highest this program has taken (kept in
// `data_folder`'s kAcceptedSerialFileName) is refused and its copy deleted, so nothing reads it;
// any other is taken, and its serial kept when it is higher.
Judgement JudgeManifest(const app::IniStore& manifest, const std::string& manifest_file,
                        std::string_view data_folder, std::chrono::system_clock::time_point now);

// The console's lines for a refused and an expired manifest (timed by the caller).
std::string OlderManifestLine(const Judgement& judgement);
std::string ExpiredManifestLine(const Judgement& judgement);

}  // namespace veltrane::net
