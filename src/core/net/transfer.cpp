#include "net/transfer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "base/ascii.h"
#include "base/number_text.h"
#include "base/u8path.h"
#include "net/crypto.h"
#include "net/http_headers.h"
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
using std::chrono::milliseconds;

constexpr std::array<std::string_view, 2> kErrorPageMarkers = {"404: Not Found", "unknown domain"};
constexpr char kTextEnd = 26;  // Ctrl-Z ends a text file here; what follows is never read.
constexpr std::size_t kScanChunk = 64 * 1024;
constexpr int kNameTries = 8;

// Like every peer: three tries, with a short growing pause between them.
constexpr std::size_t kTries = 3;
constexpr std::array<milliseconds, kTries - 1> kPauses = {milliseconds(500), milliseconds(1500)};
// A pause is made in slices this short, so that a cancel ends it soon.
constexpr milliseconds kPauseSlice{50};

constexpr std::string_view kPartSuffix = ".part";
constexpr std::string_view kTagSuffix = ".part.tag";
constexpr std::string_view kTagHash = "sha256=";
constexpr std::string_view kTagValidator = "validator=";

// How a try ended. kWrongHash is a transient failure of the server it came from, but no mirror
// is asked after it: the whole body came and it is another file.
enum class Outcome { kDone, kTransient, kFinal, kWrongHash, kCancelled };

struct TryResult {
  TryResult(Outcome how, std::optional<milliseconds> wait = std::nullopt)  // NOLINT: implicit
      : outcome(how), retry_after(wait) {}
  Outcome outcome;
  // How long the server asked to be left alone before the next try.
  std::optional<milliseconds> retry_after;
};

bool Cancelled(const Cancel* cancel) {
  return cancel && cancel->Triggered();
}

// kDone for a 2xx answer, whose body may be read; otherwise whether to try again and when. No
// status at all is an answer cut off in its status line; a 5xx may pass, and so may a 429 that
// says when to come back.
TryResult Answered(const Response& response) {
  const int status = response.Status();
  if (status >= 200 && status <= 299) return {Outcome::kDone};
  std::optional<milliseconds> retry_after;
  if (status == 429 || status == 503) {
    if (const auto text = response.Header("Retry-After")) {
      if (const auto wait = ParseRetryAfter(*text, std::chrono::system_clock::now())) {
        // A longer wait than we would make counts as a failed try, paused as usual.
        if (*wait <= kLongestRetryAfter) retry_after = *wait;
        return {Outcome::kTransient, retry_after};
      }
    }
  }
  const bool transient = status == 0 || (status >= 500 && status <= 599);
  return {transient ? Outcome::kTransient : Outcome::kFinal};
}

// A stated length must be met exactly. Without one, an empty body is taken as broken: an answer
// whose head broke off reaches WinInet as a 2xx carrying the complete header lines and no body,
// and no file the program fetches is empty.
bool Whole(std::int64_t length, std::int64_t received) {
  return length >= 0 ? received == length : received > 0;
}

// False when the pause was cut short by a cancel.
bool PauseBeforeRetry(Transport& transport, milliseconds span, const Cancel* cancel) {
  while (span.count() > 0) {
    if (Cancelled(cancel)) return false;
    const auto slice = std::min(span, kPauseSlice);
    transport.Pause(slice);
    span -= slice;
  }
  return !Cancelled(cancel);
}

// Fewer than kLeastBytesPerSpan in the last kRateSpan, measured at each read from the start of
// the request: a server that trickles a byte at a time never falls silent long enough for a
// time-out, and would hold the transfer for ever.
class RateFloor {
 public:
  explicit RateFloor(std::chrono::steady_clock::time_point start) : start_(start) {}

  // Takes `bytes` that arrived at `now`; false once the span ending now holds too few.
  bool Took(std::chrono::steady_clock::time_point now, std::int64_t bytes) {
    if (bytes > 0) {
      recent_.emplace_back(now, bytes);
      sum_ += bytes;
    }
    while (!recent_.empty() && recent_.front().first <= now - kRateSpan) {
      sum_ -= recent_.front().second;
      recent_.pop_front();
    }
    return now - start_ < kRateSpan || sum_ >= kLeastBytesPerSpan;
  }

 private:
  std::chrono::steady_clock::time_point start_;
  std::deque<std::pair<std::chrono::steady_clock::time_point, std::int64_t>> recent_;
  std::int64_t sum_ = 0;
};

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
    std::string candidate = folder + leaf + "." + tag + std::string(kPartSuffix);
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

void RemoveQuietly(const std::string& path) {
  std::error_code ignored;
  fs::remove(U8Path(path), ignored);
}

struct Tag {
  std::string sha256;
  std::string validator;
};

std::optional<Tag> ReadTag(const std::string& path) {
  std::ifstream in(U8Path(path), std::ios::binary);
  if (!in) return std::nullopt;
  Tag tag;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(kTagHash, 0) == 0) tag.sha256 = line.substr(kTagHash.size());
    if (line.rfind(kTagValidator, 0) == 0) tag.validator = line.substr(kTagValidator.size());
  }
  if (tag.sha256.empty() || tag.validator.empty()) return std::nullopt;
  return tag;
}

std::int64_t SizeOrZero(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(U8Path(path), ec);
  return ec ? 0 : static_cast<std::int64_t>(size);
}

// The partial files that transfers of this process are writing, by their names as the file
// system compares them: two transfers of one name (a name listed twice) must not write one file.
class Claims {
 public:
  static bool Claim(const std::string& path) {
    const std::lock_guard<std::mutex> lock(Mutex());
    return Held().insert(AsciiLower(path)).second;
  }
  static void Release(const std::string& path) {
    const std::lock_guard<std::mutex> lock(Mutex());
    Held().erase(AsciiLower(path));
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static std::set<std::string>& Held() {
    static std::set<std::string> held;
    return held;
  }
};

// The file a transfer writes before it becomes the target. Without a hash it has a name of its
// own and never outlives the transfer. With one it is the target's partial file, which a later
// try may continue: it is kept when the transfer broke off after an answer that named its
// version, and removed on every other way out. Another transfer writing that partial file
// meanwhile makes this one a transfer without a partial file to continue.
class Partial {
 public:
  // Made before any connection, so that a name the folder cannot take costs no request.
  Partial(const std::string& file_name, const std::string& folder, const std::string& leaf,
          const std::optional<Sha256Digest>& sha256, std::int64_t largest) {
    if (!sha256 || !Claims::Claim(PartialPath(file_name))) {
      path_ = TemporaryName(folder, leaf);
      Restart();
      return;
    }
    claimed_ = PartialPath(file_name);
    sha256_ = ToHex(*sha256);
    path_ = PartialPath(file_name);
    tag_path_ = PartialTagPath(file_name);
    const auto tag = ReadTag(tag_path_);
    const std::int64_t size = SizeOrZero(path_);
    if (tag && tag->sha256 == sha256_ && size > 0 && (largest < 0 || size <= largest) &&
        fs::is_regular_file(U8Path(path_))) {
      validator_ = tag->validator;
      size_ = size;
      return;
    }
    try {
      Restart();
    } catch (...) {
      Claims::Release(claimed_);  // no destructor runs for what a constructor did
      throw;
    }
  }
  ~Partial() {
    if (!keep_) {
      if (!path_.empty()) RemoveQuietly(path_);
      if (!tag_path_.empty()) RemoveQuietly(tag_path_);
    }
    if (!claimed_.empty()) Claims::Release(claimed_);
  }
  Partial(const Partial&) = delete;
  Partial& operator=(const Partial&) = delete;

  const std::string& path() const { return path_; }
  // The bytes already there, which a try asks the rest of (0: start from zero).
  std::int64_t size() const { return validator_.empty() ? 0 : size_; }
  const std::string& validator() const { return validator_; }

  // Empties the file: what is there is of no use.
  void Restart() {
    validator_.clear();
    size_ = 0;
    if (!tag_path_.empty()) RemoveQuietly(tag_path_);
    if (!std::ofstream(U8Path(path_), std::ios::binary | std::ios::trunc)) {
      throw LocalFileError("Unable to create file", path_);
    }
  }

  // The answer the bytes now come from: its validator is written beside them before the first
  // byte, so that a process killed meanwhile leaves a file the next run can continue.
  void Answered(std::string validator) {
    if (tag_path_.empty()) return;  // never continued
    validator_ = std::move(validator);
    RemoveQuietly(tag_path_);
    if (validator_.empty()) return;
    std::ofstream tag(U8Path(tag_path_), std::ios::binary | std::ios::trunc);
    tag << kTagHash << sha256_ << "\n" << kTagValidator << validator_ << "\n";
    tag.close();
    if (!tag) throw LocalFileError("Unable to write to file", tag_path_);
  }
  void Received(std::int64_t bytes) { size_ += bytes; }

  // Leaves the file for a later transfer, when one could continue it.
  void KeepIfResumable() { keep_ = !tag_path_.empty() && !validator_.empty() && size_ > 0; }
  // It became the target.
  void Release() {
    path_.clear();
    if (!tag_path_.empty()) RemoveQuietly(tag_path_);
    tag_path_.clear();
  }

 private:
  std::string path_;
  std::string tag_path_;
  std::string claimed_;
  std::string sha256_;
  std::string validator_;
  std::int64_t size_ = 0;
  bool keep_ = false;
};

// Feeds the hash what the partial file already holds; false when it cannot be read whole.
bool HashExisting(const std::string& path, std::int64_t size, Sha256& hash) {
  std::ifstream in(U8Path(path), std::ios::binary);
  std::vector<char> buffer(kScanChunk);
  std::int64_t left = size;
  while (left > 0 && in) {
    in.read(buffer.data(), static_cast<std::streamsize>(std::min<std::int64_t>(
                               left, static_cast<std::int64_t>(kScanChunk))));
    const auto got = in.gcount();
    hash.Update(buffer.data(), static_cast<std::size_t>(got));
    left -= got;
  }
  return left == 0;
}

struct TryContext {
  Transport& transport;
  const Download& download;
  const std::string& file_name;
  Partial& partial;
  const std::optional<Sha256Digest>& sha256;
};

TryResult Place(const TryContext& c);

// A partial file as long as the whole published file, left by a process killed before it gave
// it the target's name: when it has the published hash it is the file, and no request is made.
bool PlaceWholePartial(const TryContext& c) {
  const std::int64_t size = c.partial.size();
  if (!c.sha256 || size <= 0 || size != c.download.expected.largest) return false;
  const std::unique_ptr<Sha256> hash = NewSha256();
  if (!HashExisting(c.partial.path(), size, *hash) || hash->Final() != *c.sha256) return false;
  return Place(c).outcome == Outcome::kDone;
}

// One try of `url`, into the partial file, which it hands on to the target on success.
TryResult TryDownload(const TryContext& c, const std::string& url) {
  const std::int64_t largest = c.download.expected.largest;
  const auto too_long = [largest](std::int64_t size) { return largest >= 0 && size > largest; };
  const Cancel* cancel = c.download.cancel;
  RateFloor floor(c.transport.Now());

  Request request{url, c.download.agent, {}, cancel};
  std::int64_t offset = c.partial.size();
  if (offset > 0) {
    request.headers = {{"Range", "bytes=" + std::to_string(offset) + "-"},
                       {"If-Range", c.partial.validator()}};
  }
  std::unique_ptr<Response> response = c.transport.Open(request);
  if (response && offset > 0 && response->Status() == 416) {
    // What is kept cannot be continued there: the whole file, at once.
    c.partial.Restart();
    offset = 0;
    request.headers.clear();
    response = c.transport.Open(request);
  }
  if (Cancelled(cancel)) return {Outcome::kCancelled};
  if (!response) return {Outcome::kTransient};
  if (const TryResult answered = Answered(*response); answered.outcome != Outcome::kDone) {
    return answered;
  }
  const std::int64_t stated = ParseContentLength(response->Header("Content-Length"));
  // The length of the whole file as this answer tells it (-1: not told).
  std::int64_t length = stated;
  if (offset > 0 && response->Status() == 206) {
    const auto range = response->Header("Content-Range");
    const auto parsed = range ? ParseContentRange(*range) : std::nullopt;
    if (!parsed || parsed->first != offset || parsed->last + 1 != parsed->total ||
        (stated >= 0 && stated != parsed->total - offset)) {
      c.partial.Restart();  // not the rest of our file: the next try starts afresh
      return {Outcome::kTransient};
    }
    length = parsed->total;
  } else if (offset > 0) {
    c.partial.Restart();  // the whole file came instead of its rest
    offset = 0;
  }
  if (too_long(length)) return {Outcome::kTransient};
  c.partial.Answered(ResumeValidator(response->Header("ETag"), response->Header("Last-Modified")));
  ProgressSink* bar = c.download.bar;
  if (bar) {
    bar->Begin(length);
    if (offset > 0) bar->Advance(offset);
  }

  std::int64_t received = offset;
  const std::unique_ptr<Sha256> hash = c.sha256 ? NewSha256() : nullptr;
  if (hash && offset > 0 && !HashExisting(c.partial.path(), offset, *hash)) {
    c.partial.Restart();
    return {Outcome::kTransient};
  }
  {
    const auto mode = std::ios::binary | (offset > 0 ? std::ios::app : std::ios::trunc);
    std::ofstream out(U8Path(c.partial.path()), mode);
    if (!out) throw LocalFileError("Unable to create file", c.partial.path());
    std::vector<char> buffer(ReadPacing::kLargest);
    ReadPacing pacing;
    for (;;) {
      if (Cancelled(cancel)) return {Outcome::kCancelled};
      const std::size_t wanted = pacing.Size();
      const auto started = std::chrono::steady_clock::now();
      const std::int64_t got = response->Read(buffer.data(), wanted);
      if (Cancelled(cancel)) return {Outcome::kCancelled};
      if (got == Response::kWaiting) {
        if (!floor.Took(c.transport.Now(), 0)) return {Outcome::kTransient};
        continue;
      }
      if (got < 0) return {Outcome::kTransient};
      if (got == 0) break;
      if (static_cast<std::size_t>(got) >= wanted) {
        pacing.Took(std::chrono::steady_clock::now() - started);
      }
      const auto count = std::min<std::int64_t>(got, static_cast<std::int64_t>(wanted));
      if (too_long(received + count)) return {Outcome::kTransient};
      out.write(buffer.data(), static_cast<std::streamsize>(count));
      if (!out) throw LocalFileError("Unable to write to file", c.partial.path());
      if (hash) hash->Update(buffer.data(), static_cast<std::size_t>(count));
      received += count;
      c.partial.Received(count);
      if (bar) bar->Advance(count);
      if (!floor.Took(c.transport.Now(), count)) return {Outcome::kTransient};
    }
    out.close();
    if (!out) throw LocalFileError("Unable to write to file", c.partial.path());
  }
  response.reset();
  if (!Whole(length >= 0 ? length - offset : -1, received - offset)) {
    return {Outcome::kTransient};
  }
  // The published hash beats the error-page test: a signed mod may well hold "404: Not Found".
  const bool published = hash && hash->Final() == *c.sha256;
  if (!published && IsDamagedFile(c.partial.path())) {
    c.partial.Restart();  // an error page is nothing to continue
    return {Outcome::kFinal};
  }
  if (hash && !published) {
    c.partial.Restart();
    return {Outcome::kWrongHash};
  }
  return Place(c);
}

// Gives the partial file, whole and checked, the target's name.
TryResult Place(const TryContext& c) {
  switch (MoveWithoutReplace(c.partial.path(), c.file_name)) {
    case MoveResult::kMoved:
      c.partial.Release();
      return {Outcome::kDone};
    case MoveResult::kTargetExists:
      c.partial.Restart();
      return {Outcome::kFinal};  // someone else created it meanwhile; theirs stays
    case MoveResult::kFailed:
      break;
  }
  throw LocalFileError("Unable to rename to", c.file_name);
}

// Makes `attempt` up to kTries times while it fails for a transient reason (a wrong hash is one
// for the server that sent it), pausing between tries as the last one asks.
template <typename Attempt>
Outcome WithRetries(Transport& transport, const Cancel* cancel, const Attempt& attempt) {
  TryResult result = attempt();
  for (std::size_t tried = 1; tried < kTries; ++tried) {
    if (result.outcome != Outcome::kTransient && result.outcome != Outcome::kWrongHash) break;
    if (!PauseBeforeRetry(transport, result.retry_after.value_or(kPauses[tried - 1]), cancel)) {
      return Outcome::kCancelled;
    }
    result = attempt();
  }
  return result.outcome;
}

}  // namespace

std::string PartialPath(const std::string& file_name) {
  return file_name + std::string(kPartSuffix);
}

std::string PartialTagPath(const std::string& file_name) {
  return file_name + std::string(kTagSuffix);
}

bool CanResume(const std::string& file_name, std::string_view sha256) {
  const auto tag = ReadTag(PartialTagPath(file_name));
  return tag && tag->sha256 == sha256 && SizeOrZero(PartialPath(file_name)) > 0;
}

int RemoveStalePartials(const std::string& folder,
                        const std::map<std::string, std::string>& resumable) {
  std::vector<std::string> stale;
  std::error_code ec;
  for (fs::directory_iterator it(U8Path(folder), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = PathText(it->path().filename());
    if (resumable.count(name)) continue;
    std::string_view owner;
    if (name.ends_with(kTagSuffix)) {
      owner = std::string_view(name).substr(0, name.size() - kTagSuffix.size());
    } else if (name.ends_with(kPartSuffix)) {
      owner = std::string_view(name).substr(0, name.size() - kPartSuffix.size());
    } else {
      continue;
    }
    const auto listed = resumable.find(std::string(owner));
    const std::string target = PathText(U8Path(folder) / U8Path(owner));
    if (listed != resumable.end() && !listed->second.empty() && CanResume(target, listed->second)) {
      continue;
    }
    if (it->is_regular_file(ec)) stale.push_back(PathText(it->path()));
  }
  int removed = 0;
  for (const std::string& path : stale) {
    std::error_code gone;
    if (fs::remove(U8Path(path), gone)) ++removed;
  }
  return removed;
}

std::int64_t ParseContentLength(const std::optional<std::string>& text) {
  if (!text) return -1;
  // The header arrives as a null-terminated buffer; only the text before the null counts.
  const std::string_view view(text->c_str());
  const auto value = ParseInt64(view);
  return value && *value >= 0 ? *value : -1;
}

bool DownloadFile(Transport& transport, const std::string& file_name, const Download& download) {
  std::string folder;
  std::string leaf;
  if (!SplitPath(file_name, folder, leaf) || !IsPlainFileName(leaf)) return false;
  std::error_code ec;
  if (!fs::is_directory(U8Path(folder), ec)) return false;
  if (fs::exists(U8Path(file_name), ec) || ec) return false;
  std::optional<Sha256Digest> sha256;
  if (download.expected.sha256) {
    sha256 = ParseHexArray<32>(*download.expected.sha256);
    if (!sha256) return false;
  }

  Partial partial(file_name, folder, leaf, sha256, download.expected.largest);
  const TryContext context{transport, download, file_name, partial, sha256};
  if (PlaceWholePartial(context)) return true;
  for (const std::string& url : download.urls) {
    const Outcome outcome =
        WithRetries(transport, download.cancel, [&] { return TryDownload(context, url); });
    if (outcome == Outcome::kDone) return true;
    if (outcome == Outcome::kCancelled) return false;
    if (outcome == Outcome::kWrongHash) break;
  }
  partial.KeepIfResumable();
  return false;
}

bool DownloadFile(Transport& transport, const std::string& url, const std::string& file_name,
                  ProgressSink* bar, const std::optional<std::string>& agent,
                  const ExpectedBody& expected) {
  return DownloadFile(transport, file_name, Download{{url}, bar, agent, expected, nullptr});
}

std::int64_t GetRemoteFileSize(Transport& transport, const std::string& url) {
  std::int64_t length = -1;
  WithRetries(transport, nullptr, [&]() -> TryResult {
    const std::unique_ptr<Response> response = transport.Open(Request{url, std::nullopt, {}});
    if (!response) return {Outcome::kTransient};
    const TryResult answered = Answered(*response);
    if (answered.outcome != Outcome::kDone) return answered;
    length = ParseContentLength(response->Header("Content-Length"));
    return {Outcome::kDone};
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
