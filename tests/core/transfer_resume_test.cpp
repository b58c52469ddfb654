// Transfers on bad links: resumed bodies, mirrors, servers that say "later", lines that trickle,
// a cancel, and what broken transfers leave behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "fake_server.h"
#include "net/http_headers.h"
#include "net/manifest.h"
#include "net/transfer.h"
#include "scripted_transport.h"
#include "signed_manifest.h"
#include "temp_dir.h"

namespace veltrane::net {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using test::FakeTransport;
using test::ReadFileBytes;
using test::RecordingBar;
using test::Script;
using test::TempDir;
using Headers = std::vector<std::pair<std::string, std::string>>;

constexpr char kEtag[] = "\"5f3a-4e20\"";

std::string Body(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>('a' + i % 23);
  return body;
}

class ResumeTest : public ::testing::Test {
 protected:
  bool Fetch(std::vector<std::string> urls = {"http://host/mods3/m.jar"},
             const Cancel* cancel = nullptr) {
    return DownloadFile(transport_, target_,
                        Download{std::move(urls), &bar_, "agent", {hash_, 100000}, cancel});
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // A 206 answer carrying the body from `from` on.
  Script Rest(std::size_t from) const {
    return {206,
            std::to_string(body_.size() - from),
            body_.substr(from),
            4096,
            false,
            false,
            {{"ETag", kEtag},
             {"Content-Range", "bytes " + std::to_string(from) + "-" +
                                   std::to_string(body_.size() - 1) + "/" +
                                   std::to_string(body_.size())}}};
  }
  // A whole answer that breaks off after `sent` bytes.
  Script Broken(std::size_t sent) const {
    return {200,
            std::to_string(body_.size()),
            body_.substr(0, sent),
            4096,
            true,
            false,
            {{"ETag", kEtag}}};
  }

  TempDir dir_;
  FakeTransport transport_;
  RecordingBar bar_;
  const std::string body_ = Body(50000);
  const std::string hash_ = test::Sha256Hex(body_);
  const std::string target_ = dir_.Sub("m.jar");
};

// A try that broke off is continued by the next one, and a run that was killed by the next run,
// with Range and the first answer's validator; the hash covers the whole file.
TEST_F(ResumeTest, ABrokenTransferIsContinuedWhereItStopped) {
  transport_.first = {Broken(20000)};
  transport_.script = Rest(20000);
  ASSERT_TRUE(Fetch());
  EXPECT_EQ(ReadFileBytes(target_), body_);
  ASSERT_EQ(transport_.headers.size(), 2u);
  EXPECT_TRUE(transport_.headers[0].empty());
  EXPECT_EQ(transport_.headers[1], (Headers{{"Range", "bytes=20000-"}, {"If-Range", kEtag}}));
  EXPECT_EQ(bar_.begins, (std::vector<std::int64_t>{50000, 50000}));
  EXPECT_EQ(bar_.Total(), 20000 + 50000);  // the second try starts the bar at what was there
  EXPECT_EQ(Entries(), std::vector<std::string>{"m.jar"});

  // A run killed mid-body left the partial file and its tag; every try of that run failed.
  std::filesystem::remove(target_);
  transport_ = FakeTransport();
  transport_.script = Broken(30000);
  EXPECT_FALSE(Fetch());
  EXPECT_EQ(Entries(), (std::vector<std::string>{"m.jar.part", "m.jar.part.tag"}));
  EXPECT_TRUE(CanResume(target_, hash_));
  EXPECT_FALSE(CanResume(target_, test::Sha256Hex("another release")));
  transport_ = FakeTransport();
  transport_.script = Rest(30000);
  ASSERT_TRUE(Fetch());
  EXPECT_EQ(ReadFileBytes(target_), body_);
  EXPECT_EQ(transport_.headers.at(0), (Headers{{"Range", "bytes=30000-"}, {"If-Range", kEtag}}));
  EXPECT_EQ(Entries(), std::vector<std::string>{"m.jar"});
}

// What the server answers to a range it will not or cannot serve: the whole file, from zero.
TEST_F(ResumeTest, AServerThatIgnoresOrRefusesTheRangeGivesTheWholeFile) {
  struct Case {
    const char* what;
    std::vector<Script> then;
    std::size_t opens;
    bool last_asked_for_the_rest;
  };
  const Script whole{200, "50000", body_, 4096, false, false, {{"ETag", kEtag}}};
  Script wrong_start = Rest(10000);
  Script refused{416, "0", "", 4096, false, false, {{"Content-Range", "bytes */50000"}}};
  const std::vector<Case> cases = {
      {"no range support: 200", {whole}, 2, true},
      {"416: the whole file at once, in the same try", {refused, whole}, 3, false},
      {"a range that is not the rest: the next try starts afresh", {wrong_start, whole}, 3, false},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(target_);
    transport_ = FakeTransport();
    transport_.first = {Broken(20000)};
    transport_.first.insert(transport_.first.end(), c.then.begin(), c.then.end());
    transport_.script = whole;
    bar_ = RecordingBar();
    ASSERT_TRUE(Fetch()) << c.what;
    EXPECT_EQ(ReadFileBytes(target_), body_) << c.what;
    EXPECT_EQ(transport_.opened.size(), c.opens) << c.what;
    EXPECT_EQ(transport_.headers.back().empty(), !c.last_asked_for_the_rest) << c.what;
    EXPECT_EQ(Entries(), std::vector<std::string>{"m.jar"}) << c.what;
  }
}

// A process killed after the last byte but before the rename left the whole file as its
// partial one: it becomes the target with no request, as long as it has the published hash.
TEST_F(ResumeTest, AWholePartialFileIsTakenWithoutARequest) {
  dir_.Write("m.jar.part", body_);
  dir_.Write("m.jar.part.tag", "sha256=" + hash_ + "\nvalidator=" + kEtag + "\n");
  ASSERT_TRUE(DownloadFile(transport_, target_,
                           Download{{"http://host/mods3/m.jar"},
                                    nullptr,
                                    "a",
                                    PublishedBody(hash_, static_cast<std::int64_t>(body_.size())),
                                    nullptr}));
  EXPECT_TRUE(transport_.opened.empty());
  EXPECT_EQ(ReadFileBytes(target_), body_);
  EXPECT_EQ(Entries(), std::vector<std::string>{"m.jar"});
}

// A published hash beats the error-page test, in a transfer as in the check: a signed mod may
// hold the text; without a hash the same body is refused as before.
TEST(ErrorPageText, AMatchingPublishedHashBeatsIt) {
  TempDir dir;
  FakeTransport transport;
  transport.script = {200, "30", "intro 404: Not Found outro ..."};
  const std::string body = transport.script.body;
  EXPECT_TRUE(DownloadFile(
      transport, dir.Sub("signed.jar"),
      Download{{"http://h/signed.jar"}, nullptr, "a", {test::Sha256Hex(body)}, nullptr}));
  EXPECT_EQ(ReadFileBytes(dir.Sub("signed.jar")), body);
  EXPECT_FALSE(
      DownloadFile(transport, "http://h/unsigned.jar", dir.Sub("unsigned.jar"), nullptr, "a"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "unsigned.jar"));
}

// Only a body whose hash is published can be continued: without one, nothing outlives the
// transfer, and without a validator there is nothing to ask for the rest of.
TEST_F(ResumeTest, NothingIsKeptWithoutAHashOrAValidator) {
  transport_.script = Broken(20000);
  EXPECT_FALSE(DownloadFile(transport_, "http://host/mods3/m.jar", target_, nullptr, "agent"));
  EXPECT_TRUE(Entries().empty());
  for (const auto& headers : transport_.headers) EXPECT_TRUE(headers.empty());

  transport_ = FakeTransport();
  transport_.script = Broken(20000);
  transport_.script.headers = {{"ETag", "W/\"weak\""}};
  EXPECT_FALSE(Fetch());
  EXPECT_TRUE(Entries().empty());
  for (const auto& headers : transport_.headers) EXPECT_TRUE(headers.empty());

  // Last-Modified stands in when there is no strong ETag.
  transport_ = FakeTransport();
  transport_.first = {Broken(20000)};
  transport_.first[0].headers = {{"Last-Modified", "Tue, 01 Dec 2026 10:00:00 GMT"}};
  transport_.script = Rest(20000);
  ASSERT_TRUE(Fetch());
  EXPECT_EQ(transport_.headers.at(1).at(1),
            (std::pair<std::string, std::string>{"If-Range", "Tue, 01 Dec 2026 10:00:00 GMT"}));
}

// A mirror is asked after the server's tries failed, for any reason but a body with another
// hash; the file then comes from the first mirror that has it.
TEST_F(ResumeTest, MirrorsAreTriedInTurnUnlessTheServerSentAnotherFile) {
  const std::vector<std::string> urls = {"http://server/mods3/m.jar", "http://one/mods3/m.jar",
                                         "http://two/mods3/m.jar"};
  const Script whole{200, "50000", body_};
  const Script other{200, "50000", Body(49999) + "#"};
  struct Case {
    const char* what;
    Script server;
    Script first_mirror;
    bool fetched;
    std::vector<std::string> asked;  // each URL once per try
  };
  const std::vector<Case> cases = {
      {"404 on the server", {404, "9", "not here!"}, whole, true, {urls[0], urls[1]}},
      {"the server and the first mirror broken",
       {500, "4", "oops"},
       {200, std::nullopt, "", 4096, false, true},
       true,
       {urls[0], urls[0], urls[0], urls[1], urls[1], urls[1], urls[2]}},
      {"another file on the server", other, whole, false, {urls[0], urls[0], urls[0]}},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(target_);
    transport_ = FakeTransport();
    transport_.by_url = {{urls[0], c.server}, {urls[1], c.first_mirror}, {urls[2], whole}};
    EXPECT_EQ(Fetch(urls), c.fetched) << c.what;
    EXPECT_EQ(transport_.opened, c.asked) << c.what;
    EXPECT_EQ(Entries().size(), c.fetched ? 1u : 0u) << c.what;
  }
}

// A 429 or 503 that says when to come back is waited for as told, up to 60 s; a longer wait
// counts as a failed try, and a 429 that says nothing is final as before.
TEST_F(ResumeTest, RetryAfterIsHonouredUpToAMinute) {
  const Script whole{200, "50000", body_};
  const auto busy = [](int status, std::optional<std::string> retry_after) {
    Script answer{status, "4", "busy"};
    if (retry_after) answer.headers = {{"Retry-After", *retry_after}};
    return answer;
  };
  struct Case {
    const char* what;
    Script first;
    bool fetched;
    std::map<std::size_t, milliseconds> paused_after;
  };
  const std::vector<Case> cases = {
      {"503, 7 s", busy(503, "7"), true, {{1, seconds(7)}}},
      {"429, 60 s", busy(429, "60"), true, {{1, seconds(60)}}},
      {"503, a date long past", busy(503, "Sun, 06 Nov 1994 08:49:37 GMT"), true, {}},
      {"503, 61 s: the usual pause", busy(503, "61"), true, {{1, milliseconds(500)}}},
      {"503 with nonsense: the usual pause", busy(503, "soon"), true, {{1, milliseconds(500)}}},
      {"429 without Retry-After: final", busy(429, std::nullopt), false, {}},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(target_);
    transport_ = FakeTransport();
    transport_.first = {c.first};
    transport_.script = whole;
    EXPECT_EQ(Fetch(), c.fetched) << c.what;
    EXPECT_EQ(transport_.paused_after, c.paused_after) << c.what;
  }
}

// A line that gives fewer than 4 KiB in a minute never falls silent long enough for the
// platform's time-out; the transfer gives up on it after a minute, as on a broken body, and the
// next try continues what came.
TEST_F(ResumeTest, ATrickleSlowerThan4KiBAMinuteFailsAndIsContinued) {
  Script trickle = Broken(50000);
  trickle.fail_at_end = false;
  trickle.piece = 60;
  trickle.per_read = seconds(1);  // 60 bytes a second: 3600 a minute
  transport_.first = {trickle};
  transport_.script = Rest(60 * 60);
  ASSERT_TRUE(Fetch());
  EXPECT_EQ(ReadFileBytes(target_), body_);
  EXPECT_EQ(transport_.headers.at(1).at(0),
            (std::pair<std::string, std::string>{"Range", "bytes=3600-"}));

  // At 4 KiB a minute and more, it goes on.
  std::filesystem::remove(target_);
  transport_ = FakeTransport();
  transport_.script = {200, "50000", body_, 70, false, false, {}, seconds(1)};
  ASSERT_TRUE(Fetch());
  EXPECT_EQ(transport_.opened.size(), 1u);
}

// A cancel ends the transfer between two reads and during a pause, and leaves nothing, not even
// what could be continued.
TEST_F(ResumeTest, ACancelEndsTheTransferAndLeavesNothing) {
  Cancel cancel;
  class CancellingBar : public ProgressSink {
   public:
    explicit CancellingBar(Cancel& cancel) : cancel_(cancel) {}
    void Begin(std::int64_t) override {}
    void Advance(std::int64_t) override { cancel_.Trigger(); }

   private:
    Cancel& cancel_;
  } bar(cancel);
  transport_.script = {200, "50000", body_, 4096, false, false, {{"ETag", kEtag}}};
  EXPECT_FALSE(
      DownloadFile(transport_, target_, Download{{"http://h/m.jar"}, &bar, "a", {hash_}, &cancel}));
  EXPECT_EQ(transport_.opened.size(), 1u);
  EXPECT_TRUE(Entries().empty());

  Cancel soon(Cancel::Clock::now() + milliseconds(1));
  transport_ = FakeTransport();
  transport_.script = {503, "4", "busy"};
  std::this_thread::sleep_for(milliseconds(5));
  EXPECT_FALSE(Fetch({"http://h/m.jar", "http://mirror/m.jar"}, &soon));
  EXPECT_LE(transport_.opened.size(), 1u);
  EXPECT_TRUE(Entries().empty());
}

// Two transfers of one name at once (a name listed twice) never write one partial file.
TEST(PartialFiles, TwoTransfersOfOneNameWriteFilesOfTheirOwn) {
  TempDir dir;
  test::FakeServer server;
  const std::string body = Body(5000);
  server.Put("http://h/m.jar", body);
  server.HoldBodies();
  const std::string target = dir.Sub("m.jar");
  bool fetched[2] = {false, false};
  bool raised = false;
  const auto fetch = [&](int i) {
    try {
      fetched[i] = DownloadFile(
          server, target,
          Download{{"http://h/m.jar"}, nullptr, "a", {test::Sha256Hex(body)}, nullptr});
    } catch (const LocalFileError&) {
      raised = true;  // one moved the file the other was writing
    }
  };
  std::thread first(fetch, 0);
  server.AwaitHeldReads(1);
  std::thread second(fetch, 1);
  server.AwaitHeldReads(2);
  std::vector<std::string> parts;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    parts.push_back(entry.path().filename().string());
  }
  server.ReleaseBodies();
  first.join();
  second.join();
  EXPECT_EQ(parts.size(), 2u);
  EXPECT_FALSE(raised);
  EXPECT_EQ(fetched[0] + fetched[1], 1);  // the second to finish finds the target there
  EXPECT_EQ(ReadFileBytes(target), body);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

// What broken transfers left goes, unless a transfer of the pack would continue it; a listed
// name is never touched, whatever it ends in.
TEST(RemoveStalePartials, KeepsOnlyWhatAListedModCouldContinue) {
  TempDir dir;
  const std::string hash = test::Sha256Hex("a");
  const auto tag = [](const std::string& sha) { return "sha256=" + sha + "\nvalidator=\"x\"\n"; };
  dir.Write("resumable.jar.part", "abc");
  dir.Write("resumable.jar.part.tag", tag(hash));
  dir.Write("old-release.jar.part", "abc");
  dir.Write("old-release.jar.part.tag", tag(test::Sha256Hex("b")));
  dir.Write("unlisted.jar.part", "abc");
  dir.Write("unlisted.jar.part.tag", tag(hash));
  dir.Write("untagged.jar.part", "abc");
  dir.Write("unhashed.jar.1a2b3c4d.part", "abc");
  dir.Write("orphan.jar.part.tag", tag(hash));
  dir.Write("listed.part", "a mod of that name");
  dir.Write("plain.jar", "a mod");
  const std::map<std::string, std::string> listed = {{"resumable.jar", hash},
                                                     {"old-release.jar", hash},
                                                     {"untagged.jar", hash},
                                                     {"unhashed.jar", ""},
                                                     {"listed.part", ""}};
  EXPECT_EQ(RemoveStalePartials(dir.path().string(), listed), 7);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"listed.part", "plain.jar", "resumable.jar.part",
                                            "resumable.jar.part.tag"}));
}

TEST(HttpHeaders, RangesDatesAndValidators) {
  EXPECT_EQ(ParseContentRange("bytes 100-199/200")->first, 100);
  EXPECT_EQ(ParseContentRange(" bytes 0-0/1 ")->total, 1);
  for (const char* bad : {"bytes 5-4/10", "bytes 0-10/10", "bytes */10", "items 0-1/2",
                          "bytes -1-5/10", "bytes 0x1-5/10", "bytes 1-5"}) {
    EXPECT_FALSE(ParseContentRange(bad)) << bad;
  }
  const auto now =
      std::chrono::system_clock::time_point(seconds(784111777));  // 1994-11-06 08:49:37
  for (const char* date : {"Sun, 06 Nov 1994 08:50:37 GMT", "Sunday, 06-Nov-94 08:50:37 GMT",
                           "Sun Nov  6 08:50:37 1994"}) {
    EXPECT_EQ(ParseRetryAfter(date, now), seconds(60)) << date;
  }
  EXPECT_EQ(ParseRetryAfter(" 120 ", now), seconds(120));
  EXPECT_EQ(ParseRetryAfter("Sun, 06 Nov 1994 08:00:00 GMT", now), seconds(0));
  for (const char* bad : {"", "-5", "1.5", "Sun, 06 Foo 1994 08:50:37 GMT", "tomorrow"}) {
    EXPECT_FALSE(ParseRetryAfter(bad, now)) << bad;
  }
  EXPECT_EQ(ResumeValidator("\"abc\"", "Tue, 01 Dec 2026 10:00:00 GMT"), "\"abc\"");
  EXPECT_EQ(ResumeValidator("W/\"abc\"", "Tue, 01 Dec 2026 10:00:00 GMT"),
            "Tue, 01 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(ResumeValidator(std::nullopt, std::nullopt), "");
}

}  // namespace
}  // namespace veltrane::net
