#include "net/manifest_terms.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/paths.h"
#include "base/portable_ini.h"
#include "temp_dir.h"

namespace veltrane::net {
namespace {

using std::chrono::system_clock;

// 2026-12-10 12:00 UTC.
const system_clock::time_point kNow = system_clock::time_point(std::chrono::seconds(1796904000));

TEST(ManifestTerms, DatesAreReadAsWrittenAndCounted) {
  EXPECT_EQ(UtcDay(kNow), (Date{2026, 12, 10}));
  EXPECT_EQ(ParseDate("2028-02-29"), (Date{2028, 2, 29}));
  for (const char* bad : {"2027-02-29", "2027-13-01", "2027-00-10", "2027-6-01", "01.06.2027",
                          "2027-06-01 ", "", "2027-06-0x"}) {
    EXPECT_FALSE(ParseDate(bad)) << bad;
  }
  EXPECT_EQ(AddDays(Date{2026, 12, 10}, 180), (Date{2027, 6, 8}));
  EXPECT_EQ(DaysBetween(Date{2026, 12, 10}, Date{2026, 12, 24}), 14);
  EXPECT_EQ(ConsoleText(Date{2027, 6, 1}), "01.06.2027");
  EXPECT_EQ(IsoText(Date{2027, 6, 1}), "2027-06-01");
}

// The highest serial taken is the floor: an older manifest is refused and its copy goes; the
// rest are taken, a higher serial raising the floor. Past its last day a manifest is taken for
// its mods but offers no self-update.
TEST(ManifestTerms, AnOlderManifestIsRefusedAndAnExpiredOneOffersNoUpdate) {
  struct Case {
    const char* what;
    std::string terms;  // lines of section Update
    std::string floor;  // Update.serial before; empty: none
    Standing standing;
    std::string floor_after;
  };
  const std::vector<Case> cases = {
      {"the first signed manifest", "serial=1\r\n", "", Standing::kCurrent, "1\n"},
      {"a newer one", "serial=3\r\n", "2\n", Standing::kCurrent, "3\n"},
      {"the same one again", "serial=2\r\n", "2\n", Standing::kCurrent, "2\n"},
      {"a replay of an older one", "serial=1\r\n", "2\n", Standing::kOlder, "2\n"},
      {"no serial counts as 0", "", "1\n", Standing::kOlder, "1\n"},
      {"no serial and no floor", "", "", Standing::kCurrent, ""},
      {"a serial that is no number counts as 0", "serial=2x\r\n", "1\n", Standing::kOlder, "1\n"},
      {"its last day is today", "serial=4\r\nexpires=2026-12-10\r\n", "3\n", Standing::kCurrent,
       "4\n"},
      {"past its last day", "serial=4\r\nexpires=2026-12-09\r\n", "3\n", Standing::kExpired, "4\n"},
      {"signed in 2001", "serial=4\r\nexpires=2001-06-01\r\n", "", Standing::kExpired, "4\n"},
      {"an expiry that cannot be read", "serial=4\r\nexpires=soon\r\n", "", Standing::kExpired,
       "4\n"},
      {"older and expired: refused", "serial=1\r\nexpires=2001-06-01\r\n", "2\n", Standing::kOlder,
       "2\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    const std::string manifest = dir.Write("Update.ini", "[Update]\r\n" + c.terms);
    const std::string floor = dir.Sub("Update.serial");
    if (!c.floor.empty()) dir.Write("Update.serial", c.floor);
    const app::PortableIniStore store(manifest);
    const Judgement judged = JudgeManifest(store, manifest, dir.path().string(), kNow);
    EXPECT_EQ(judged.standing, c.standing);
    EXPECT_EQ(FileExists(manifest), c.standing != Standing::kOlder);
    EXPECT_EQ(test::ReadFileBytes(floor), c.floor_after);
  }
}

TEST(ManifestTerms, TheConsoleNamesTheSerialsAndTheDay) {
  Judgement older;
  older.terms.serial = 1;
  older.highest = 2;
  EXPECT_EQ(OlderManifestLine(older),
            "Конфиг сервера старее уже полученного (выпуск 1 < 2), он не принят.");
  Judgement expired;
  expired.terms.expires_text = "2027-06-01";
  expired.terms.expires = Date{2027, 6, 1};
  EXPECT_EQ(ExpiredManifestLine(expired),
            "Срок действия конфига сервера истёк 01.06.2027: обновление программы не "
            "предлагается.");
}

}  // namespace
}  // namespace veltrane::net
