#include "net/transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "base/u8path.h"
#include "net/read_pacing.h"
#include "scripted_transport.h"
#include "signed_manifest.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace veltrane::net {
namespace {

using test::ReadFileBytes;
using test::TempDir;

using test::FakeTransport;
using test::RecordingBar;
using test::Script;

std::vector<std::string> FolderEntries(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(PathText(entry.path().filename()));
  }
  return names;
}

class DownloadFileTest : public ::testing::Test {
 protected:
  bool Fetch(const std::string& name, RecordingBar* bar = nullptr,
             const ExpectedBody& expected = {}) {
    return DownloadFile(transport_, "http://host/mods3/" + name, dir_.Sub(name), bar,
                        std::string("Veltrane.exe"), expected);
  }
  std::string Body(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>('a' + i % 26);
    return body;
  }

  TempDir dir_;
  FakeTransport transport_;
};

TEST_F(DownloadFileTest, PreconditionsFailBeforeAnyConnection) {
  const std::string existing = dir_.Write("old.jar", "keep me");
  EXPECT_FALSE(DownloadFile(transport_, "http://host/x", existing, nullptr, std::nullopt));
  EXPECT_EQ(ReadFileBytes(existing), "keep me");

  EXPECT_FALSE(DownloadFile(transport_, "http://host/x", dir_.Sub("missing/new.jar"), nullptr,
                            std::nullopt));
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "missing"));
  EXPECT_TRUE(transport_.opened.empty());
}

TEST_F(DownloadFileTest, UnplainTargetNamesAreNeverWritten) {
  const std::string folder = dir_.Sub("");
  for (const std::string& leaf :
       std::vector<std::string>{"", "..", "CON", "nul.jar", "a:b.jar", std::string("x\x01y")}) {
    EXPECT_FALSE(DownloadFile(transport_, "http://host/x", folder + leaf, nullptr, std::nullopt))
        << leaf;
  }
  EXPECT_TRUE(transport_.opened.empty());
  EXPECT_TRUE(FolderEntries(dir_).empty());
}

TEST_F(DownloadFileTest, SuccessStreamsTheBodyInBoundedReads) {
  const std::size_t size = 3 * ReadPacing::kLargest + 4520;
  transport_.script.body = Body(size);
  transport_.script.length = std::to_string(size);
  transport_.script.piece = 4 * ReadPacing::kLargest;
  RecordingBar bar;
  ASSERT_TRUE(Fetch("Мод с пробелом.jar", &bar));
  EXPECT_EQ(ReadFileBytes(dir_.Sub("Мод с пробелом.jar")), transport_.script.body);
  EXPECT_EQ(transport_.opened.at(0), "http://host/mods3/Мод с пробелом.jar");
  EXPECT_EQ(transport_.agents.at(0), std::optional<std::string>("Veltrane.exe"));
  EXPECT_EQ(bar.begins, std::vector<std::int64_t>{static_cast<std::int64_t>(size)});
  ASSERT_FALSE(bar.steps.empty());
  EXPECT_EQ(bar.steps.front(), static_cast<std::int64_t>(ReadPacing::kFirst));
  std::int64_t sum = 0;
  for (const std::int64_t step : bar.steps) {
    EXPECT_LE(step, static_cast<std::int64_t>(ReadPacing::kLargest));
    sum += step;
  }
  EXPECT_EQ(sum, static_cast<std::int64_t>(size));
  EXPECT_EQ(FolderEntries(dir_).size(), 1u);  // no temporary file left beside it
}

TEST(ReadPacingTest, GrowsOnAFastLineShrinksOnASlowOneWithinBounds) {
  using std::chrono::milliseconds;
  ReadPacing fast;
  for (int i = 0; i < 20; ++i) fast.Took(milliseconds(1));
  EXPECT_EQ(fast.Size(), ReadPacing::kLargest);

  ReadPacing slow;
  for (int i = 0; i < 20; ++i) slow.Took(milliseconds(900));
  EXPECT_EQ(slow.Size(), ReadPacing::kSmallest);

  // A read between quick and slow keeps the size, so a steady line settles.
  ReadPacing steady;
  steady.Took(milliseconds(1));
  const std::size_t settled = steady.Size();
  EXPECT_EQ(settled, 2 * ReadPacing::kFirst);
  for (int i = 0; i < 5; ++i) steady.Took(milliseconds(60));
  EXPECT_EQ(steady.Size(), settled);
  steady.Took(milliseconds(150));
  EXPECT_EQ(steady.Size(), ReadPacing::kFirst);
}

TEST_F(DownloadFileTest, UnknownLengthStillCompletesWithTheBarIndeterminate) {
  transport_.script.body = Body(30001);
  transport_.script.piece = 777;
  for (const auto& length : std::vector<std::optional<std::string>>{std::nullopt, "abc"}) {
    std::filesystem::remove(dir_.path() / "a.jar");
    transport_.script.length = length;
    RecordingBar bar;
    ASSERT_TRUE(Fetch("a.jar", &bar));
    EXPECT_EQ(bar.begins, std::vector<std::int64_t>{-1});
    EXPECT_EQ(bar.Total(), 30001);
  }
}

TEST_F(DownloadFileTest, EmptyBodyLeavesAnEmptyFile) {
  transport_.script.length = "0";
  ASSERT_TRUE(Fetch("empty.jar"));
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "empty.jar"));
  EXPECT_EQ(std::filesystem::file_size(dir_.path() / "empty.jar"), 0u);
}

// Every way a transfer can fail leaves the folder as it was; only a transient failure (no
// answer, a 5xx or status-less one, a broken body) is tried again, three times in all.
TEST_F(DownloadFileTest, FailuresLeaveNothingBehindAndTransientOnesAreTriedThrice) {
  struct Case {
    const char* what;
    Script script;
    std::size_t tries;
    std::optional<std::string> sha256 = std::nullopt;
  };
  const std::string body = Body(20000);
  const std::vector<Case> cases = {
      {"404 status", {404, "9", "not here!"}, 1},
      {"500 status", {500, std::nullopt, "oops"}, 3},
      {"301 status", {301, "0", ""}, 1},
      {"status unknown", {0, std::nullopt, body}, 3},
      {"unreachable", {200, std::nullopt, "", 4096, false, true}, 3},
      {"error page", {200, "14", "404: Not Found"}, 1},
      {"unknown domain before Ctrl-Z", {200, std::nullopt, "abc unknown domain\x1a tail"}, 1},
      {"short of its length", {200, "20001", body}, 3},
      {"longer than its length", {200, "19999", body}, 3},
      {"no length and no byte: the head broke off", {200, std::nullopt, ""}, 3},
      {"read failure mid-body", {200, std::nullopt, body, 3000, true}, 3},
      {"whole, but not the published file", {200, "20000", body}, 3, test::Sha256Hex("other")},
  };
  for (const auto& c : cases) {
    transport_.script = c.script;
    transport_.opened.clear();
    RecordingBar bar;
    EXPECT_FALSE(Fetch("mod.jar", &bar, {c.sha256})) << c.what;
    EXPECT_TRUE(FolderEntries(dir_).empty()) << c.what;
    EXPECT_EQ(transport_.opened.size(), c.tries) << c.what;
  }
}

// The hash is taken as the body streams. A body that a cut shortened where no length shows it
// differs only by its hash: it is tried again like any broken body. A text that cannot be a
// hash matches no body, so nothing is fetched for it.
TEST_F(DownloadFileTest, AnExpectedHashDecidesAndAMismatchIsTriedAgain) {
  const std::string body = Body(30000);
  const std::string hash = test::Sha256Hex(body);
  struct Case {
    const char* what;
    std::vector<Script> first;
    std::string sha256;
    bool fetched;
    std::size_t tries;
  };
  const std::vector<Case> cases = {
      {"matches", {}, hash, true, 1},
      {"matches, written in upper case", {}, AsciiUpper(hash), true, 1},
      {"cut unseen, whole the second time",
       {{200, std::nullopt, body.substr(0, 20000)}},
       hash,
       true,
       2},
      {"one hex digit short", {}, hash.substr(1), false, 0},
      {"not hex", {}, std::string(64, 'g'), false, 0},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(dir_.path() / "mod.jar");
    transport_.first = c.first;
    transport_.script = {200, std::nullopt, body, 777};
    transport_.opened.clear();
    EXPECT_EQ(Fetch("mod.jar", nullptr, {c.sha256}), c.fetched) << c.what;
    EXPECT_EQ(transport_.opened.size(), c.tries) << c.what;
    EXPECT_EQ(FolderEntries(dir_).size(), c.fetched ? 1u : 0u) << c.what;
    EXPECT_EQ(ReadFileBytes(dir_.Sub("mod.jar")), c.fetched ? body : "") << c.what;
  }
}

// A bound stops a body that runs past it, stated or not, before more than the bound is read:
// the body is broken then, and tried again like one.
TEST_F(DownloadFileTest, ABodyPastItsBoundIsCutThereAndCountsAsBroken) {
  struct Case {
    const char* what;
    std::optional<std::string> length;
    std::int64_t largest;
    bool fetched;
    std::int64_t read_per_try;
  };
  const std::vector<Case> cases = {
      {"no length, endless as far as the bound knows", std::nullopt, 5000, false, 4096},
      {"a stated length past the bound is not read at all", "20000", 19999, false, 0},
      {"exactly at the bound", std::nullopt, 20000, true, 20000},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(dir_.path() / "mod.jar");
    transport_.script = {200, c.length, Body(20000), 1024};
    transport_.opened.clear();
    RecordingBar bar;
    EXPECT_EQ(Fetch("mod.jar", &bar, {std::nullopt, c.largest}), c.fetched) << c.what;
    EXPECT_EQ(FolderEntries(dir_).size(), c.fetched ? 1u : 0u) << c.what;
    const auto tries = static_cast<std::int64_t>(transport_.opened.size());
    EXPECT_EQ(tries, c.fetched ? 1 : 3) << c.what;
    EXPECT_EQ(bar.Total(), tries * c.read_per_try) << c.what;
  }
}

// The pauses grow, and come in short slices, so that a cancel ends one soon.
TEST_F(DownloadFileTest, ATransientFailureIsTriedAgainAfterGrowingPauses) {
  using std::chrono::milliseconds;
  transport_.first = {Script{200, "100", Body(40)}, Script{503, std::nullopt, "busy"}};
  transport_.script = {200, "100", Body(100)};
  RecordingBar bar;
  ASSERT_TRUE(Fetch("third-time.jar", &bar));
  EXPECT_EQ(ReadFileBytes(dir_.Sub("third-time.jar")), Body(100));
  EXPECT_EQ(transport_.opened.size(), 3u);
  const std::map<std::size_t, milliseconds> expected = {{1, milliseconds(500)},
                                                        {2, milliseconds(1500)}};
  EXPECT_EQ(transport_.paused_after, expected);
  for (const auto slice : transport_.slices) EXPECT_LE(slice, milliseconds(50));
  EXPECT_EQ(bar.begins, (std::vector<std::int64_t>{100, 100}));
  EXPECT_EQ(FolderEntries(dir_).size(), 1u);
}

// A name the file system refuses for the temporary file fails at once, with no request made.
TEST_F(DownloadFileTest, ANameTooLongForItsTemporaryFileFailsAtOnce) {
  for (const std::size_t length : {242u, 255u}) {
    const std::string name = std::string(length - 4, 'm') + ".jar";
    EXPECT_THROW(Fetch(name), LocalFileError) << length;
  }
  EXPECT_TRUE(transport_.opened.empty());
  EXPECT_TRUE(FolderEntries(dir_).empty());
}

TEST_F(DownloadFileTest, ErrorPageMarkersFollowTheTextRules) {
  transport_.script.body = std::string("genuine bytes\x1a then unknown domain", 35);
  EXPECT_TRUE(Fetch("after-ctrl-z.jar"));
  transport_.script.body = "404:\r\n Not Found";
  EXPECT_FALSE(Fetch("split-next-to-space.jar"));
  transport_.script.body = "404:\r\nNot Found";
  EXPECT_TRUE(Fetch("space-replaced.jar"));
  transport_.script.body = "404: not found";
  EXPECT_TRUE(Fetch("other-case.jar"));
  EXPECT_EQ(FolderEntries(dir_).size(), 3u);
}

// A worker that finishes first keeps its file; the later transfer must not replace it.
TEST_F(DownloadFileTest, ATargetThatAppearsMeanwhileIsNotReplaced) {
  class RacingTransport : public FakeTransport {
   public:
    explicit RacingTransport(std::string path) : path_(std::move(path)) {}
    std::unique_ptr<Response> Open(const Request& request) override {
      std::ofstream(U8Path(path_), std::ios::binary) << "first";
      return FakeTransport::Open(request);
    }

   private:
    std::string path_;
  };
  RacingTransport racing(dir_.Sub("race.jar"));
  racing.script.body = "second";
  EXPECT_FALSE(DownloadFile(racing, "http://host/x", dir_.Sub("race.jar"), nullptr, std::nullopt));
  EXPECT_EQ(ReadFileBytes(dir_.Sub("race.jar")), "first");
  EXPECT_EQ(FolderEntries(dir_).size(), 1u);
}

#ifndef _WIN32
// A full disk, imitated by a file size limit (which binds root too).
TEST_F(DownloadFileTest, ALocalWriteFailureIsRaisedAndCleanedUp) {
  transport_.script.body = Body(50000);
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tight = saved;
  tight.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
  bool raised = false;
  try {
    Fetch("big.jar");
  } catch (const LocalFileError&) {
    raised = true;
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_TRUE(raised);
  EXPECT_EQ(transport_.opened.size(), 1u);  // a local failure is not tried again
  EXPECT_TRUE(FolderEntries(dir_).empty());
}
#endif

TEST(GetRemoteFileSize, ReadsTheStatedLengthWithoutAnAgent) {
  struct Case {
    std::vector<Script> first;
    Script script;
    std::int64_t expected;
    std::size_t tries;
  };
  const std::vector<Case> cases = {
      {{}, {200, "123456789012", ""}, 123456789012, 1},
      {{}, {200, "0", ""}, 0, 1},
      {{}, {200, "00000000000000000000000000000000000123", ""}, 123, 1},
      {{}, {200, std::nullopt, ""}, -1, 1},
      {{}, {200, "12abc", ""}, -1, 1},
      {{}, {200, "-5", ""}, -1, 1},
      {{}, {200, "0x10", ""}, 16, 1},
      {{}, {404, "9", ""}, -1, 1},
      {{}, {200, "5", "", 4096, false, true}, -1, 3},
      {{{503, "4", ""}}, {200, "77", ""}, 77, 2},
  };
  for (const auto& c : cases) {
    FakeTransport transport;
    transport.first = c.first;
    transport.script = c.script;
    EXPECT_EQ(GetRemoteFileSize(transport, "http://host/Update.exe"), c.expected)
        << c.script.length.value_or("<none>");
    EXPECT_EQ(transport.opened.size(), c.tries) << c.script.length.value_or("<none>");
    for (const auto& agent : transport.agents) EXPECT_FALSE(agent.has_value());
  }
}

TEST(IsDamagedFile, ScansInChunksAndHonoursTheTextEnd) {
  TempDir dir;
  EXPECT_FALSE(IsDamagedFile(dir.Sub("missing.jar")));
  EXPECT_FALSE(IsDamagedFile(dir.Sub("")));

  // Markers straddling every possible chunk border, with line breaks inside them.
  const std::size_t chunk = 64 * 1024;
  for (std::size_t before = chunk - 16; before <= chunk + 2; ++before) {
    const std::string name = "span" + std::to_string(before);
    const std::string path = dir.Write(name, std::string(before, 'x') + "unknown\r\n domain");
    EXPECT_TRUE(IsDamagedFile(path)) << before;
  }
  // Line breaks far from the border shrink the text, so the border falls elsewhere.
  std::string crlf_padding;
  for (int i = 0; i < 40000; ++i) crlf_padding += "\r\n";
  EXPECT_TRUE(IsDamagedFile(dir.Write("crlf", crlf_padding + "y404: Not Found")));
  EXPECT_FALSE(IsDamagedFile(
      dir.Write("late-ctrl-z", std::string(chunk * 2, 'x') + "\x1a" + "404: Not Found")));
  EXPECT_FALSE(IsDamagedFile(dir.Write("clean", std::string(chunk * 3 + 5, 'z'))));
}

}  // namespace
}  // namespace veltrane::net
