#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "net/server_paths.h"
#include "net/transfer.h"
#include "net/wininet_transport.h"
#include "temp_dir.h"
#include "test_server.h"

namespace veltrane::win32 {
namespace {

using test::ReadFileBytes;
using test::ServeFile;
using test::TempDir;
using test::TestServerUrl;

class RecordingBar : public net::ProgressSink {
 public:
  void Begin(std::int64_t length) override { begins.push_back(length); }
  void Advance(std::int64_t bytes) override {
    total += bytes;
    ++steps;
  }
  std::vector<std::int64_t> begins;
  std::int64_t total = 0;
  int steps = 0;
};

// The real transport, whose pauses between tries take no time and add up here instead: 2 s
// means a failure was tried three times, none that it was final at once.
class CountingTransport : public WinInetTransport {
 public:
  using WinInetTransport::WinInetTransport;
  void Pause(std::chrono::milliseconds span) override { paused += span; }
  std::chrono::milliseconds paused{0};
};

constexpr std::chrono::milliseconds kThreeTries{2000};

std::string Body(std::size_t size, char salt = 0) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>(i * 7 + salt);
  return body;
}

class WinInetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(TestServerUrl().empty()) << "VELTRANE_TEST_SERVER is not set";
  }
  // Fetches `path_and_query` below the server into dir_/name.
  bool Fetch(const std::string& path_and_query, const std::string& name,
             RecordingBar* bar = nullptr, const net::ExpectedBody& expected = {}) {
    return net::DownloadFile(transport_, TestServerUrl() + path_and_query, dir_.Sub(name), bar,
                             OwnExeName(), expected);
  }
  // Whether a failed fetch left anything behind, under the target's name or any other.
  bool AnythingLeft() const { return !std::filesystem::is_empty(dir_.path()); }

  TempDir dir_;
  CountingTransport transport_;
};

TEST_F(WinInetTest, FetchesAFileWithProgress) {
  const std::string body = Body(100000);
  ServeFile("mods3/plain.jar", body);
  RecordingBar bar;
  ASSERT_TRUE(Fetch("/mods3/plain.jar", "plain.jar", &bar));
  EXPECT_EQ(ReadFileBytes(dir_.Sub("plain.jar")), body);
  EXPECT_EQ(bar.begins, std::vector<std::int64_t>{100000});
  EXPECT_EQ(bar.total, 100000);
  EXPECT_EQ(net::GetRemoteFileSize(transport_, TestServerUrl() + "/mods3/plain.jar"), 100000);
}

// The server finds the name as the bytes it has on disk: only a percent-encoded UTF-8 path
// reaches it so (raw, Wine sends the ANSI code page's bytes, which nginx does not find).
TEST_F(WinInetTest, NamesWithSpacesAndCyrillicGoOutPercentEncoded) {
  const std::string name = "Мод с пробелом.jar";
  ServeFile("mods3/" + name, "cyrillic body");
  ASSERT_TRUE(net::DownloadFile(transport_, net::FileUrl(TestServerUrl(), net::ModPath(name)),
                                dir_.Sub(name), nullptr, OwnExeName()));
  EXPECT_EQ(ReadFileBytes(dir_.Sub(name)), "cyrillic body");
}

// Wine 8's WinInet went to the server here even with the no-cache flags removed, so under Wine
// this only proves the flags do no harm; it is Windows' cache that they defeat.
TEST_F(WinInetTest, RefetchingSeesTheChangedFileNotACachedCopy) {
  ServeFile("Update", "[Update]\nlastversion=1\n");
  ASSERT_TRUE(Fetch("/Update", "Update.ini"));
  ServeFile("Update", "[Update]\nlastversion=2\n");
  std::filesystem::remove(dir_.path() / "Update.ini");
  ASSERT_TRUE(Fetch("/Update", "Update.ini"));
  EXPECT_EQ(ReadFileBytes(dir_.Sub("Update.ini")), "[Update]\nlastversion=2\n");
}

TEST_F(WinInetTest, ErrorStatusesAndBrokenBodiesFailLeaveNothingAndTransientOnesAreRetried) {
  ServeFile("mods3/whole.jar", Body(200000, 3));
  const std::string padded_length = std::string(32, '0') + "200000";
  const std::vector<std::pair<std::string, bool>> cases = {
      {"/mods3/absent.jar", false},
      {"/mods3/whole.jar?status=404&body=gone%20away", false},
      {"/mods3/whole.jar?status=500&body=oops", true},
      {"/mods3/whole.jar?status=503", true},
      {"/mods3/whole.jar?cut=1000", true},
      {"/mods3/whole.jar?drop=50000", true},
      {"/mods3/whole.jar?body=404:%20Not%20Found", false},
      // The head cut off in its status line (Wine: status 0), and mid-line before the length
      // (Wine: a 200 with the complete lines and no body).
      {"/mods3/whole.jar?headcut=10", true},
      {"/mods3/whole.jar?headcut=30", true},
      // A length text longer than any number needs is still the length.
      {"/mods3/whole.jar?length=" + padded_length + "&cut=1000", true},
      // Cut before the first byte: the one cut of a body without a length that can be known.
      {"/mods3/whole.jar?chunked=1&cut=0", true},
      {"/mods3/whole.jar?nolength=1&cut=0", true},
  };
  for (const auto& [query, transient] : cases) {
    transport_.paused = std::chrono::milliseconds(0);
    RecordingBar bar;
    EXPECT_FALSE(Fetch(query, "whole.jar", &bar)) << query;
    EXPECT_FALSE(AnythingLeft()) << query;
    EXPECT_EQ(transport_.paused, transient ? kThreeTries : std::chrono::milliseconds(0)) << query;
  }
}

// A server that never stops sending is cut off at the bound, with or without chunks, at full
// speed: closing an answer mid-body, Wine's WinInet reads on for as long as bytes are waiting,
// which on loopback is for ever, so a body dropped unread is never closed that way.
TEST_F(WinInetTest, AnEndlessBodyIsCutAtItsBound) {
  ServeFile("mods3/endless.jar", "x");
  constexpr std::int64_t kBound = 256 * 1024;
  for (const std::string query : {"?endless=1", "?endless=1&chunked=1"}) {
    transport_.paused = std::chrono::milliseconds(0);
    RecordingBar bar;
    EXPECT_FALSE(Fetch("/mods3/endless.jar" + query, "endless.jar", &bar, {std::nullopt, kBound}))
        << query;
    EXPECT_FALSE(AnythingLeft()) << query;
    EXPECT_LE(bar.total, 3 * kBound) << query;
    EXPECT_EQ(transport_.paused, kThreeTries) << query;
  }
}

// A line that trickles is read as it comes: a read gives what has arrived, or says after about
// a second that nothing has, instead of waiting until its whole buffer is full (at 4 bytes a
// second, for hours), so that a transfer can tell how fast its line moves.
TEST_F(WinInetTest, ATrickleIsReadAsItComes) {
  using std::chrono::steady_clock;
  ServeFile("mods3/trickle.jar", Body(1000));
  const auto response =
      transport_.Open(net::Request{TestServerUrl() + "/mods3/trickle.jar?slow=4", {}, {}});
  ASSERT_TRUE(response);
  std::vector<char> buffer(64 * 1024);
  std::int64_t got = 0;
  const auto until = steady_clock::now() + std::chrono::seconds(3);
  while (steady_clock::now() < until) {
    const auto started = steady_clock::now();
    const std::int64_t read = response->Read(buffer.data(), buffer.size());
    EXPECT_LT(steady_clock::now() - started, std::chrono::seconds(2));
    if (read != net::Response::kWaiting) {
      ASSERT_GT(read, 0);
      got += read;
    }
  }
  EXPECT_GE(got, 4);
  EXPECT_LT(got, 1000);
}

// A cancel frees the caller at once, whether the server holds back its head or its body: Wine's
// WinInet returns from neither until the server sends or the time-out passes.
TEST_F(WinInetTest, ACancelFreesTheCallerWhateverTheServerDoes) {
  using std::chrono::steady_clock;
  ServeFile("mods3/held.jar", Body(1000));
  for (const std::string query : {"?pause_ms=20000", "?delay_ms=20000"}) {
    net::Cancel cancel;
    std::thread canceller([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      cancel.Trigger();
    });
    const auto started = steady_clock::now();
    const bool fetched = net::DownloadFile(
        transport_, dir_.Sub("held.jar"),
        net::Download{{TestServerUrl() + "/mods3/held.jar" + query}, nullptr, {}, {}, &cancel});
    const auto took = steady_clock::now() - started;
    canceller.join();
    EXPECT_FALSE(fetched) << query;
    EXPECT_LT(took, std::chrono::seconds(5)) << query;
    EXPECT_FALSE(AnythingLeft()) << query;
  }
}

// A server that asks to come back later is waited for as it asks.
TEST_F(WinInetTest, RetryAfterIsReadFromTheAnswer) {
  ServeFile("mods3/busy.jar", Body(1000));
  EXPECT_FALSE(Fetch("/mods3/busy.jar?status=503&retry_after=3", "busy.jar"));
  EXPECT_EQ(transport_.paused, std::chrono::seconds(6));  // two pauses of 3 s, not 0.5 and 1.5
}

// Each answer would come whole after 20 s: only the time-out makes these fail.
TEST_F(WinInetTest, AServerSilentBeforeTheHeadOrTheBodyFailsByTheTimeOut) {
  ServeFile("mods3/late.jar", Body(1000));
  CountingTransport impatient(std::chrono::seconds(1));
  for (const std::string query : {"?pause_ms=20000", "?delay_ms=20000"}) {
    impatient.paused = std::chrono::milliseconds(0);
    EXPECT_FALSE(net::DownloadFile(impatient, TestServerUrl() + "/mods3/late.jar" + query,
                                   dir_.Sub("late.jar"), nullptr, OwnExeName()))
        << query;
    EXPECT_FALSE(AnythingLeft()) << query;
    EXPECT_EQ(impatient.paused, kThreeTries) << query;
  }
}

// A length is read however long its text; without a readable one the bar cannot know the size
// (-1), and the whole body still arrives.
TEST_F(WinInetTest, ALengthTextOfAnySizeIsReadAndAMissingOrUnreadableOneFetchesTheWholeBody) {
  const std::string body = Body(200000, 7);
  ServeFile("mods3/length.jar", body);
  const std::pair<std::string, std::int64_t> cases[] = {
      {"?length=" + std::string(32, '0') + "200000", 200000},
      {"?nolength=1", -1},
      {"?length=abc", -1},
      {"?chunked=1", -1},
  };
  for (const auto& [query, length] : cases) {
    std::filesystem::remove(dir_.path() / "length.jar");
    RecordingBar bar;
    ASSERT_TRUE(Fetch("/mods3/length.jar" + query, "length.jar", &bar)) << query;
    EXPECT_EQ(bar.begins, std::vector<std::int64_t>{length}) << query;
    EXPECT_EQ(ReadFileBytes(dir_.Sub("length.jar")), body) << query;
    EXPECT_EQ(net::GetRemoteFileSize(transport_, TestServerUrl() + "/mods3/length.jar" + query),
              length)
        << query;
  }
}

// The bar follows a slow body piece by piece instead of waiting for a full transfer buffer.
TEST_F(WinInetTest, ASlowBodyArrivesWithTheBarMovingAsItComes) {
  const std::string body = Body(200000, 9);
  ServeFile("mods3/slow.jar", body);
  RecordingBar bar;
  ASSERT_TRUE(Fetch("/mods3/slow.jar?delay_ms=50&chunk=25000", "slow.jar", &bar));
  EXPECT_EQ(ReadFileBytes(dir_.Sub("slow.jar")), body);
  EXPECT_EQ(bar.total, 200000);
  EXPECT_GE(bar.steps, 4);
}

TEST_F(WinInetTest, ARefusedConnectionFails) {
  // Port 1 on the loopback: nothing listens there.
  EXPECT_FALSE(net::DownloadFile(transport_, "http://127.0.0.1:1/Update", dir_.Sub("Update.ini"),
                                 nullptr, OwnExeName()));
  EXPECT_FALSE(AnythingLeft());
  EXPECT_EQ(net::GetRemoteFileSize(transport_, "http://127.0.0.1:1/Update.exe"), -1);
  EXPECT_EQ(transport_.paused, 2 * kThreeTries);  // both tried three times
}

TEST(OwnExeName, IsTheRunningProgramsBareFileName) {
  EXPECT_EQ(OwnExeName(), "win32_tests.exe");
}

}  // namespace
}  // namespace veltrane::win32
