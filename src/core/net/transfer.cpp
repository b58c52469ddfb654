#include "net/transfer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/number_text.h"
#include "base/u8path.h"
#include "net/crypto.h"
#include "net/manifest.h"
#include "net/read_pacing.h"

#ifdef _WIN32
#include <cstdio>
#else
#include <unistd.h>

#include <cerrno>
#endif

namespace veltrane::net {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::string_view, 2> kErrorPageMarkers = {"404: Not Found", "unknown domain"};
constexpr char kTextEnd = 26;  // Ctrl-Z ends a text file here; what follows is never read.
constexpr std::size_t kScanChunk = 64 * 1024;
constexpr int kNameTries = 8;

// Like every peer: three tries, with a short growing pause between them.
constexpr std::size_t kTries = 3;
constexpr std::array<std::chrono::milliseconds, kTries - 1> kPauses = {
    std::chrono::milliseconds(500), std::chrono::milliseconds(1500)};
// A transfer on the user-interface thread lets window messages run through its bar; pausing in
// slices this short, with a touch of the bar after each, keeps the window answering meanwhile.
constexpr std::chrono::milliseconds kPauseSlice{50};

enum class Outcome { kDone, kTransient, kFinal };

// kDone for a 2xx answer, whose body may be read; otherwise whether to try again. No status at
// all is an answer cut off in its status line; a 5xx may pass.
Outcome Answered(int status) {
  if (status >= 200 && status <= 299) return Outcome::kDone;
  return status == 0 || (status >= 500 && status <= 599) ? Outcome::kTransient : Outcome::kFinal;
}

// A stated length must be met exactly. Without one, an empty body is taken as broken: an answer
// whose head broke off reaches WinInet as a 2xx carrying the complete header lines and no body,
// and no file the program fetches is empty.
bool Whole(std::int64_t length, std::int64_t received) {
  return length >= 0 ? received == length : received > 0;
}

void PauseBeforeRetry(Transport& transport, std::chrono::milliseconds span, ProgressSink* bar) {
  if (!bar) {
    transport.Pause(span);
    return;
  }
  while (span.count() > 0) {
    const auto slice = std::min(span, kPauseSlice);
    transport.Pause(slice);
    bar->Advance(0);
    span -= slice;
  }
}

// Makes `attempt` up to kTries times while it fails for a transient reason.
template <typename Attempt>
Outcome WithRetries(Transport& transport, ProgressSink* bar, const Attempt& attempt) {
  Outcome outcome = attempt();
  for (std::size_t tried = 1; tried < kTries && outcome == Outcome::kTransient; ++tried) {
    PauseBeforeRetry(transport, kPauses[tried - 1], bar);
    outcome = attempt();
  }
  return outcome;
}

// Splits at the last separator. Windows paths use '\', but '/' is accepted as well because
// the file services accept both.
bool SplitPath(const std::string& file_name, std::string& folder, std::string& leaf) {
  const auto cut = file_name.find_last_of("\\/");
  if (cut == std::string::npos) return false;
  folder = file_name.substr(0, cut + 1);
  leaf = file_name.substr(cut + 1);
  return true;
}

// Several transfers may run at once (the turbo workers), so the name mixes a process-wide
// counter with random bits. A name the file system refuses (too long, say) is refused whatever
// the tag, so only a few are tried.
std::string TemporaryName(const std::string& folder, const std::string& leaf) {
  static std::atomic<unsigned> counter{0};
  static thread_local std::mt19937 random(
      std::random_device{}() ^
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
  static constexpr char kHex[] = "0123456789abcdef";
  for (int tried = 0; tried < kNameTries; ++tried) {
    std::string tag;
    unsigned value = random() ^ (counter++ * 2654435761u);
    for (int i = 0; i < 8; ++i, value >>= 4) tag += kHex[value & 15u];
    std::string candidate = folder + leaf + "." + tag + ".part";
    std::error_code ec;
    if (!fs::exists(U8Path(candidate), ec) && !ec) return candidate;
  }
  throw LocalFileError("Unable to create file", folder + leaf);
}

// Gives `from` the name `to` unless `to` exists by now; never replaces a file.
enum class MoveResult { kMoved, kTargetExists, kFailed };
MoveResult MoveWithoutReplace(const std::string& from, const std::string& to) {
#ifdef _WIN32
  // The C runtime's rename refuses an existing target on Windows.
  const std::wstring wide_from = U8Path(from).wstring();
  const std::wstring wide_to = U8Path(to).wstring();
  if (_wrename(wide_from.c_str(), wide_to.c_str()) == 0) return MoveResult::kMoved;
  std::error_code ec;
  return fs::exists(U8Path(to), ec) ? MoveResult::kTargetExists : MoveResult::kFailed;
#else
  // rename() would replace; a hard link fails with EEXIST instead.
  if (::link(from.c_str(), to.c_str()) != 0) {
    return errno == EEXIST ? MoveResult::kTargetExists : MoveResult::kFailed;
  }
  ::unlink(from.c_str());
  return MoveResult::kMoved;
#endif
}

// Removes the temporary file on every way out unless it was handed on.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() { Remove(); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& path() const { return path_; }
  void Remove() {
    if (path_.empty()) return;
    std::error_code ignored;
    fs::remove(U8Path(path_), ignored);
    path_.clear();
  }
  void Release() { path_.clear(); }

 private:
  std::string path_;
};

// One try of DownloadFile, into `temporary`, which it hands on to `file_name` on success.
Outcome TryDownload(Transport& transport, const std::string& url, const std::string& file_name,
                    TemporaryFile& temporary, ProgressSink* bar,
                    const std::optional<std::string>& agent,
                    const std::optional<Sha256Digest>& expected, std::int64_t largest) {
  const std::unique_ptr<Response> response = transport.Open(url, agent);
  if (!response) return Outcome::kTransient;
  if (const Outcome answered = Answered(response->Status()); answered != Outcome::kDone) {
    return answered;
  }
  const std::int64_t length = ParseContentLength(response->ContentLengthText());
  const auto too_long = [largest](std::int64_t size) { return largest >= 0 && size > largest; };
  if (too_long(length)) return Outcome::kTransient;
  if (bar) bar->Begin(length);

  std::int64_t received = 0;
  const std::unique_ptr<Sha256> hash = expected ? NewSha256() : nullptr;
  {
    std::ofstream out(U8Path(temporary.path()), std::ios::binary | std::ios::trunc);
    if (!out) throw LocalFileError("Unable to create file", temporary.path());
    std::vector<char> buffer(ReadPacing::kLargest);
    ReadPacing pacing;
    for (;;) {
      const std::size_t wanted = pacing.Size();
      const auto started = std::chrono::steady_clock::now();
      const std::int64_t got = response->Read(buffer.data(), wanted);
      if (got < 0) return Outcome::kTransient;
      if (got == 0) break;
      if (static_cast<std::size_t>(got) >= wanted) {
        pacing.Took(std::chrono::steady_clock::now() - started);
      }
      const auto count = std::min<std::int64_t>(got, static_cast<std::int64_t>(wanted));
      if (too_long(received + count)) return Outcome::kTransient;
      out.write(buffer.data(), static_cast<std::streamsize>(count));
      if (!out) throw LocalFileError("Unable to write to file", temporary.path());
      if (hash) hash->Update(buffer.data(), static_cast<std::size_t>(count));
      received += count;
      if (bar) bar->Advance(count);
    }
    out.close();
    if (!out) throw LocalFileError("Unable to write to file", temporary.path());
  }
  if (!Whole(length, received)) return Outcome::kTransient;
  if (IsDamagedFile(temporary.path())) return Outcome::kFinal;
  if (hash && hash->Final() != *expected) return Outcome::kTransient;

  switch (MoveWithoutReplace(temporary.path(), file_name)) {
    case MoveResult::kMoved:
      temporary.Release();
      return Outcome::kDone;
    case MoveResult::kTargetExists:
      return Outcome::kFinal;  // someone else created it meanwhile; theirs stays
    case MoveResult::kFailed:
      break;
  }
  throw LocalFileError("Unable to rename to", file_name);
}

}  // namespace

std::int64_t ParseContentLength(const std::optional<std::string>& text) {
  if (!text) return -1;
  // The header arrives as a null-terminated buffer; only the text before the null counts.
  const std::string_view view(text->c_str());
  const auto value = ParseInt64(view);
  return value && *value >= 0 ? *value : -1;
}

bool DownloadFile(Transport& transport, const std::string& url, const std::string& file_name,
                  ProgressSink* bar, const std::optional<std::string>& agent,
                  const ExpectedBody& expected) {
  std::string folder;
  std::string leaf;
  if (!SplitPath(file_name, folder, leaf) || !IsPlainFileName(leaf)) return false;
  std::error_code ec;
  if (!fs::is_directory(U8Path(folder), ec)) return false;
  if (fs::exists(U8Path(file_name), ec) || ec) return false;
  std::optional<Sha256Digest> sha256;
  if (expected.sha256) {
    sha256 = ParseHexArray<32>(*expected.sha256);
    if (!sha256) return false;
  }

  // Made before any connection, so that a name the folder cannot take costs no request.
  TemporaryFile temporary(TemporaryName(folder, leaf));
  if (!std::ofstream(U8Path(temporary.path()), std::ios::binary)) {
    throw LocalFileError("Unable to create file", temporary.path());
  }
  return WithRetries(transport, bar, [&] {
           return TryDownload(transport, url, file_name, temporary, bar, agent, sha256,
                              expected.largest);
         }) == Outcome::kDone;
}

std::int64_t GetRemoteFileSize(Transport& transport, const std::string& url) {
  std::int64_t length = -1;
  WithRetries(transport, nullptr, [&] {
    const std::unique_ptr<Response> response = transport.Open(url, std::nullopt);
    if (!response) return Outcome::kTransient;
    if (const Outcome answered = Answered(response->Status()); answered != Outcome::kDone) {
      return answered;
    }
    length = ParseContentLength(response->ContentLengthText());
    return Outcome::kDone;
  });
  return length;
}

bool IsDamagedFile(const std::string& file_name) {
  const fs::path path = U8Path(file_name);
  std::error_code ec;
  if (fs::is_directory(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;

  std::size_t longest = 0;
  for (const auto marker : kErrorPageMarkers) longest = std::max(longest, marker.size());
  // `text` holds the tail of the previous chunk (one byte short of a marker) and the new one,
  // so a marker that straddles two chunks is still found.
  std::string text;
  std::vector<char> chunk(kScanChunk);
  bool ended = false;
  while (!ended) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (in.bad()) throw LocalFileError("Unable to read file", file_name);
    if (got < chunk.size()) ended = true;
    for (std::size_t i = 0; i < got; ++i) {
      const char c = chunk[i];
      if (c == kTextEnd) {
        ended = true;
        break;
      }
      if (c != '\r' && c != '\n') text += c;
    }
    for (const auto marker : kErrorPageMarkers) {
      if (text.find(marker) != std::string::npos) return true;
    }
    if (text.size() >= longest) text.erase(0, text.size() - (longest - 1));
  }
  return false;
}

}  // namespace veltrane::net
