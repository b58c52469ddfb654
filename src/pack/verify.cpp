#include "verify.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "base/u8path.h"
#include "net/manifest.h"
#include "net/manifest_signature.h"
#include "net/manifest_terms.h"
#include "net/server_paths.h"
#include "net/transfer.h"
#include "pack_manifest.h"
#include "pack_rules.h"
#include "text.h"

namespace veltrane::pack {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadSize = 256 * 1024;
constexpr auto kProgressStep = std::chrono::milliseconds(100);
constexpr std::size_t kParallelFetches = 2;
// Fewer days than this before a manifest's last day are worth a warning.
constexpr int kFewDaysLeft = 14;

// Hands `size` more bytes to `sink` unless they would take the body past `largest`; false, with
// the outcome set, when they would.
bool Deliver(Fetched& fetched, std::int64_t largest, const Sink& sink, const char* data,
             std::size_t size) {
  const auto count = static_cast<std::int64_t>(size);
  if (largest >= 0 && fetched.bytes + count > largest) {
    fetched.outcome = Fetched::Outcome::kTooLong;
    fetched.passed = largest;
    return false;
  }
  sink(data, size);
  fetched.bytes += count;
  return true;
}

class HttpPackSource final : public PackSource {
 public:
  HttpPackSource(net::Transport& transport, std::string base_url)
      : transport_(transport), base_url_(std::move(base_url)) {}

  Fetched Fetch(const std::string& path, std::int64_t largest, const Sink& sink) override {
    Fetched fetched;
    const auto response =
        transport_.Open(net::Request{net::FileUrl(base_url_, path), "veltrane-pack", {}});
    if (!response) {
      fetched.outcome = Fetched::Outcome::kUnreachable;
      return fetched;
    }
    fetched.status = response->Status();
    if (fetched.status < 200 || fetched.status > 299) {
      const bool gone = fetched.status == 404 || fetched.status == 410;
      fetched.outcome = gone ? Fetched::Outcome::kMissing : Fetched::Outcome::kStatus;
      return fetched;
    }
    fetched.stated = net::ParseContentLength(response->Header("Content-Length"));
    std::vector<char> buffer(kReadSize);
    for (;;) {
      const std::int64_t got = response->Read(buffer.data(), buffer.size());
      if (got == net::Response::kWaiting) continue;
      if (got < 0) {
        fetched.outcome = Fetched::Outcome::kBroken;
        return fetched;
      }
      if (got == 0) break;
      if (!Deliver(fetched, largest, sink, buffer.data(), static_cast<std::size_t>(got))) {
        return fetched;
      }
    }
    // Some platforms take a body cut short of its stated length for a whole one.
    if (fetched.stated >= 0 && fetched.bytes < fetched.stated) {
      fetched.outcome = Fetched::Outcome::kBroken;
    }
    return fetched;
  }

  std::string Where() const override { return base_url_; }

 private:
  net::Transport& transport_;
  std::string base_url_;
};

class FolderPackSource final : public PackSource {
 public:
  explicit FolderPackSource(std::string dir) : dir_(std::move(dir)) {}

  Fetched Fetch(const std::string& path, std::int64_t largest, const Sink& sink) override {
    Fetched fetched;
    const fs::path file = U8Path(dir_) / U8Path(path.substr(1));
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
      fetched.outcome = Fetched::Outcome::kMissing;
      return fetched;
    }
    std::ifstream in(file, std::ios::binary);
    std::vector<char> buffer(kReadSize);
    while (in) {
      in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      if (in.bad()) {
        fetched.outcome = Fetched::Outcome::kBroken;
        return fetched;
      }
      const auto got = static_cast<std::size_t>(in.gcount());
      if (!Deliver(fetched, largest, sink, buffer.data(), got)) return fetched;
    }
    return fetched;
  }

  std::string Where() const override { return dir_; }

 private:
  std::string dir_;
};

constexpr std::string_view kServer = "server";

struct Finding {
  std::string file;
  std::string problem;
  std::string detail;
  std::string source{kServer};  // the server or the mirror's key in the manifest
};

// What an HTTP status means to the admin.
std::string StatusProblem(int status) {
  if (status == 401) return "unauthorized";
  if (status == 403) return "forbidden";
  if (status >= 500 && status <= 599) return "server error";
  return "HTTP status";
}

// A failed fetch of `path` from `source` as a finding; nullopt when it did not fail. The path is
// shown decoded: so it names the file in the web folder and in the web server's error log, and
// the form on the wire follows from it (net::EncodePath), while a Cyrillic name in %XX is
// unreadable.
std::optional<Finding> FetchFinding(const std::string& file, const std::string& path,
                                    const Fetched& fetched, const PackSource& source) {
  const std::string status = "HTTP " + std::to_string(fetched.status) + " for " + path;
  switch (fetched.outcome) {
    case Fetched::Outcome::kOk:
      return std::nullopt;
    case Fetched::Outcome::kMissing:
      return Finding{file, "missing", fetched.status ? status : "no such file"};
    case Fetched::Outcome::kStatus:
      if (fetched.status == 0) {
        return Finding{file, "HTTP status", "an answer without a status code for " + path};
      }
      return Finding{file, StatusProblem(fetched.status), status};
    case Fetched::Outcome::kUnreachable:
      return Finding{file, "unreachable", "no answer from " + source.Where()};
    case Fetched::Outcome::kBroken:
      return Finding{file, "transfer",
                     "broken after " + std::to_string(fetched.bytes) + " bytes" +
                         (fetched.stated >= 0 ? " of " + std::to_string(fetched.stated) : "")};
    case Fetched::Outcome::kTooLong:
      return Finding{file, "size", "more than " + std::to_string(fetched.passed) + " bytes"};
  }
  return std::nullopt;
}

// A file the manifest names, with what it says about it.
struct Expected {
  std::string shown;  // as in the table
  std::string path;   // below the base
  std::optional<std::int64_t> size;
  std::string sha256;  // empty when the manifest has none
};

// The manifest's text goes through a temporary file: the INI store reads files.
class TemporaryCopy {
 public:
  explicit TemporaryCopy(const std::string& bytes) {
    std::random_device random;
    path_ = fs::temp_directory_path() /
            ("veltrane-pack-" + std::to_string(random()) + "-" + std::to_string(random()) + ".ini");
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw net::LocalFileError("Unable to write", PathText(path_));
  }
  ~TemporaryCopy() {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
  TemporaryCopy(const TemporaryCopy&) = delete;
  TemporaryCopy& operator=(const TemporaryCopy&) = delete;
  std::string path() const { return PathText(path_); }

 private:
  fs::path path_;
};

struct ManifestFiles {
  std::vector<Expected> files;
  std::vector<std::string> mirrors;  // as the client reads them
  net::ManifestTerms terms;
};

// Names the client takes for one file: twins within the mod list, and names of the removal list
// that are a listed mod's twin (the client would delete that mod on every check, and fetch it
// again).
void NameTwinFindings(const net::ManifestList& mods, const net::ManifestList& removed,
                      std::vector<Finding>& findings) {
  std::map<std::string, const net::ManifestEntry*> listed;
  const auto where = [](std::string_view section, const net::ManifestEntry& entry) {
    return "[" + std::string(section) + "] " + net::EntryKey(entry.index);
  };
  for (const auto& entry : mods.entries) {
    if (entry.name.empty()) continue;
    const auto [first, added] = listed.emplace(NameKey(entry.name), &entry);
    if (added) continue;
    const std::string shown = net::ModPath(entry.name).substr(1);
    findings.push_back({shown, "name",
                        (first->second->name == entry.name
                             ? "listed again, first as "
                             : "one file to the client with " + first->second->name + ", ") +
                            where(net::kModListSection, *first->second)});
  }
  for (const auto& entry : removed.entries) {
    const auto twin = listed.find(NameKey(entry.name));
    if (entry.name.empty() || twin == listed.end()) continue;
    findings.push_back({net::ModPath(entry.name).substr(1), "removal",
                        where(net::kDelListSection, entry) + " is " + twin->second->name +
                            " to the client, which deletes that mod on every check"});
  }
}

ManifestFiles ExpectedFiles(const app::PortableIniStore& store, std::vector<Finding>& findings) {
  std::vector<Expected> files;
  // Names, sizes and hashes as the client reads them (net/manifest.h): a hash written in upper
  // case, say, is the one the client would hold too.
  const net::ManifestList mods = net::ReadModList(store);
  if (mods.bounded) {
    findings.push_back(
        {std::string(net::kModListSection), "manifest", "Count is far beyond the entries present"});
  }
  for (const auto& entry : mods.entries) {
    const std::string where = std::string(net::kModListSection) + " " + net::EntryKey(entry.index);
    if (entry.name.empty()) {
      findings.push_back({where, "manifest", "no file name"});
      continue;
    }
    const std::string path = net::ModPath(entry.name);
    const std::string shown = path.substr(1);
    const std::vector<std::string> problems = NameProblems(entry.name);
    for (const auto& problem : problems) findings.push_back({shown, "name", problem});
    if (!entry.plain) continue;
    Expected file{shown, path, entry.size, entry.sha256.value_or("")};
    if (file.sha256.empty()) {
      findings.push_back({shown, "manifest", "no " + net::EntrySha256Key(entry.index)});
    }
    files.push_back(std::move(file));
  }
  NameTwinFindings(mods, net::ReadDelList(store), findings);
  const net::ServedFiles served = net::ReadServedFiles(store);
  for (const net::ServedFile& extra : net::kServedFiles) {
    const net::ExpectedBody& published = served.*extra.published;
    if (!published.sha256) continue;
    std::optional<std::int64_t> size;
    if (published.largest >= 0) size = published.largest;
    files.push_back(
        {std::string(extra.name), net::ServedFilePath(extra.name), size, *published.sha256});
  }
  return {std::move(files), served.mirrors, net::ReadTerms(store)};
}

class ProgressBar {
 public:
  ProgressBar(std::ostream& out, bool enabled, std::size_t files, std::int64_t bytes)
      : out_(out), enabled_(enabled), files_(files), bytes_(bytes) {}

  // Called by every fetching thread.
  void Advance(std::int64_t bytes) {
    const std::lock_guard<std::mutex> lock(mutex_);
    done_bytes_ += bytes;
    Draw(false);
  }
  void FileDone() {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++done_files_;
    Draw(true);
  }
  void Clear() {
    if (enabled_ && drawn_) out_ << "\r" << std::string(79, ' ') << "\r" << std::flush;
  }

 private:
  void Draw(bool now) {
    if (!enabled_) return;
    const auto time = std::chrono::steady_clock::now();
    if (!now && time - last_ < kProgressStep) return;
    last_ = time;
    constexpr int kWidth = 30;
    const double part =
        bytes_ > 0 ? std::min(1.0, static_cast<double>(done_bytes_) / static_cast<double>(bytes_))
                   : (files_ ? static_cast<double>(done_files_) / static_cast<double>(files_) : 1);
    const int filled = static_cast<int>(part * kWidth);
    out_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, '-') << "] "
         << done_files_ << "/" << files_ << " files, " << SizeText(done_bytes_) << "   "
         << std::flush;
    drawn_ = true;
  }

  std::mutex mutex_;
  std::ostream& out_;
  bool enabled_;
  std::size_t files_;
  std::int64_t bytes_;
  std::size_t done_files_ = 0;
  std::int64_t done_bytes_ = 0;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};

// Columns line up on a terminal when counted in characters, not UTF-8 bytes.
std::size_t Width(std::string_view utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The source column only when there is more than the server to tell apart.
void PrintTable(const std::vector<Finding>& findings, bool sources, std::ostream& out) {
  std::size_t source_width = 6;
  std::size_t file_width = 4;
  std::size_t problem_width = 7;
  for (const auto& f : findings) {
    source_width = std::max(source_width, Width(f.source));
    file_width = std::max(file_width, Width(f.file));
    problem_width = std::max(problem_width, Width(f.problem));
  }
  auto pad = [](const std::string& text, std::size_t width) {
    return text + std::string(width + 2 - Width(text), ' ');
  };
  auto row = [&](const std::string& source, const std::string& file, const std::string& problem,
                 const std::string& detail) {
    if (sources) out << pad(source, source_width);
    out << pad(file, file_width) << pad(problem, problem_width) << detail << "\n";
  };
  row("SOURCE", "FILE", "PROBLEM", "DETAIL");
  for (const auto& f : findings) row(f.source, f.file, f.problem, f.detail);
}

}  // namespace

std::unique_ptr<PackSource> HttpSource(net::Transport& transport, std::string base_url) {
  return std::make_unique<HttpPackSource>(transport, std::move(base_url));
}

std::unique_ptr<PackSource> FolderSource(std::string dir) {
  return std::make_unique<FolderPackSource>(std::move(dir));
}

int RunVerify(PackSource& source, const VerifyOptions& options, std::ostream& out) {
  std::vector<Finding> findings;
  const std::string manifest_name(net::kManifestPath.substr(1));
  std::string manifest;
  const std::string manifest_path(net::kManifestPath);
  const Fetched fetched_manifest =
      source.Fetch(manifest_path, net::kLargestManifest,
                   [&](const char* data, std::size_t size) { manifest.append(data, size); });
  if (auto finding = FetchFinding(manifest_name, manifest_path, fetched_manifest, source)) {
    findings.push_back(std::move(*finding));
    PrintTable(findings, false, out);
    out << "The manifest could not be read; nothing else was checked.\n";
    return 1;
  }

  if (options.public_key) {
    const std::string name(net::kManifestSignaturePath.substr(1));
    const std::string path(net::kManifestSignaturePath);
    std::string signature;
    const Fetched fetched =
        source.Fetch(path, std::tuple_size_v<net::P256Signature>,
                     [&](const char* data, std::size_t size) { signature.append(data, size); });
    if (auto finding = FetchFinding(name, path, fetched, source)) {
      finding->problem = "signature";
      findings.push_back(std::move(*finding));
    } else {
      // The client's own check of the signature.
      switch (net::CheckManifestSignature(manifest, signature, *options.public_key)) {
        case net::ManifestSignature::kGood:
          break;
        case net::ManifestSignature::kMissing:
          findings.push_back(
              {name, "signature", std::to_string(signature.size()) + " bytes, 64 expected"});
          break;
        case net::ManifestSignature::kBad:
          findings.push_back({name, "signature", "does not match the manifest and the public key"});
          break;
      }
    }
  }

  const TemporaryCopy copy(manifest);
  const app::PortableIniStore store(copy.path(), Cp1251Codec());
  // The client does not load a manifest that could be read in more than one way.
  if (const auto ambiguities = store.Ambiguities(); !ambiguities.empty()) {
    for (const auto& where : ambiguities) {
      findings.push_back({manifest_name, "manifest", where + ": readers disagree on what it says"});
    }
    PrintTable(findings, false, out);
    out << "The client does not load this manifest; nothing else was checked.\n";
    return 1;
  }
  const ManifestFiles listed = ExpectedFiles(store, findings);
  const std::vector<Expected>& files = listed.files;
  const net::ManifestTerms& terms = listed.terms;
  // What a client built with a key makes of the manifest's terms.
  std::string terms_line = "Manifest: serial " + std::to_string(terms.serial);
  std::optional<int> days_left;
  if (terms.expires_text.empty()) {
    terms_line += ", no last day";
  } else if (!terms.expires) {
    terms_line += ", a last day that cannot be read (\"" + terms.expires_text + "\")";
  } else {
    days_left = net::DaysBetween(options.today, *terms.expires);
    terms_line += ", last day " + net::IsoText(*terms.expires) + " (" + std::to_string(*days_left) +
                  " days left)";
  }
  if (net::Expired(terms, options.today)) {
    findings.push_back(
        {manifest_name, "expired", "past its last day: clients take its mods but no self-update"});
  }
  // The server first, then each mirror: only the server serves the manifest and its signature,
  // every one of them the files it names.
  std::vector<PackSource*> sources = {&source};
  std::vector<std::string> names = {std::string(kServer)};
  std::vector<std::unique_ptr<PackSource>> mirrors;
  if (options.mirror_source) {
    for (std::size_t m = 0; m < listed.mirrors.size(); ++m) {
      mirrors.push_back(options.mirror_source(listed.mirrors[m]));
      sources.push_back(mirrors.back().get());
      names.push_back(net::MirrorKey(static_cast<long long>(m + 1)));
    }
  }

  std::int64_t total = 0;
  for (const auto& file : files) total += file.size.value_or(0);
  const std::size_t jobs = files.size() * sources.size();
  ProgressBar bar(out, options.progress, jobs, total * static_cast<std::int64_t>(sources.size()));
  // A few files at once, as the client's turbo run fetches them: hashing then overlaps the
  // transfers instead of adding to them.
  struct Result {
    Fetched fetched;
    std::string sha256;
  };
  std::vector<Result> results(jobs);
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::mutex failure_mutex;
  auto worker = [&] {
    try {
      for (std::size_t job = next++; job < jobs; job = next++) {
        const Expected& file = files[job % files.size()];
        const auto hash = net::NewSha256();
        // A body past its published size is already wrong; reading on could last for ever.
        results[job].fetched = sources[job / files.size()]->Fetch(
            file.path, file.size.value_or(-1), [&](const char* data, std::size_t size) {
              hash->Update(data, size);
              bar.Advance(static_cast<std::int64_t>(size));
            });
        results[job].sha256 = net::ToHex(hash->Final());
        bar.FileDone();
      }
    } catch (...) {
      const std::lock_guard<std::mutex> lock(failure_mutex);
      failure = std::current_exception();
      next = jobs;
    }
  };
  {
    std::vector<std::jthread> workers;
    for (std::size_t i = 0; i < std::min(kParallelFetches, jobs); ++i) workers.emplace_back(worker);
  }
  if (failure) std::rethrow_exception(failure);

  std::vector<std::size_t> problems(sources.size(), 0);
  for (std::size_t s = 0; s < sources.size(); ++s) {
    std::vector<Finding> found;
    std::size_t unreachable = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
      const Expected& file = files[i];
      const Result& result = results[s * files.size() + i];
      const Fetched& fetched = result.fetched;
      if (auto finding = FetchFinding(file.shown, file.path, fetched, *sources[s])) {
        if (fetched.outcome == Fetched::Outcome::kUnreachable) ++unreachable;
        found.push_back(std::move(*finding));
      } else if (file.size && fetched.bytes != *file.size) {
        // Another size means another hash as well; one row says it.
        found.push_back({file.shown, "size",
                         std::to_string(fetched.bytes) + " bytes, the manifest says " +
                             std::to_string(*file.size)});
      } else if (!file.sha256.empty() && result.sha256 != file.sha256) {
        found.push_back({file.shown, "hash", "SHA-256 differs from the manifest's"});
      }
    }
    // A source that never answered is one row, not one per file.
    if (files.size() > 1 && unreachable == files.size()) {
      found = {{"(all " + std::to_string(files.size()) + " files)", "unreachable",
                "no answer from " + sources[s]->Where()}};
    }
    for (Finding& finding : found) {
      finding.source = names[s];
      findings.push_back(std::move(finding));
    }
    problems[s] = found.size();
  }
  bar.Clear();

  const bool signature = options.public_key.has_value();
  const std::size_t on_server = files.size() + 1 + (signature ? 1 : 0);
  const std::size_t checked = on_server + files.size() * mirrors.size();
  const std::string signature_note =
      signature ? "signature verified" : "signature not checked: no --pubkey";
  if (!findings.empty()) PrintTable(findings, !mirrors.empty(), out);
  out << terms_line << ".\n";
  if (days_left && *days_left >= 0 && *days_left < kFewDaysLeft) {
    out << "Warning: fewer than " << kFewDaysLeft
        << " days left; build and sign the pack anew before then.\n";
  }
  for (std::size_t m = 0; m < mirrors.size(); ++m) {
    const std::size_t count = problems[m + 1];
    out << names[m + 1] << " " << listed.mirrors[m] << ": " << files.size() << " files, "
        << (count == 0 ? "all match"
                       : std::to_string(count) + (count == 1 ? " problem" : " problems"))
        << "\n";
  }
  if (options.mirror_source && listed.mirrors.empty()) {
    out << "The manifest lists no mirrors.\n";
  } else if (!options.mirror_source && !listed.mirrors.empty()) {
    const std::size_t count = listed.mirrors.size();
    out << count << (count == 1 ? " mirror" : " mirrors")
        << " listed in the manifest not checked (--mirrors checks them).\n";
  }
  if (findings.empty()) {
    out << "All " << on_server << " files";
    if (!mirrors.empty()) {
      out << " on the server and " << files.size() << " on each of " << mirrors.size()
          << (mirrors.size() == 1 ? " mirror" : " mirrors");
    }
    out << " match the manifest (" << signature_note << ").\n";
    return 0;
  }
  out << findings.size() << (findings.size() == 1 ? " problem" : " problems") << " in " << checked
      << " files checked.\n";
  return 1;
}

}  // namespace veltrane::pack
