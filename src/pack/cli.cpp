#include "cli.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "build.h"
#include "key_file.h"
#include "net/http_headers.h"
#include "net/manifest_terms.h"
#include "platform.h"
#include "signing.h"
#include "verify.h"

namespace veltrane::pack {

const char* const kUsage =
    R"(Usage:
  veltrane-pack build DIR [--version V] [--key KEYFILE] [--mirror URL]... [--no-mirrors]
                         [--serial N] [--expires YYYY-MM-DD]
  veltrane-pack verify URL|DIR [--pubkey HEX[;HEX]...] [--mirrors]
  veltrane-pack keygen KEYFILE
  veltrane-pack --help

build   Writes DIR/Update, the manifest of the server's web folder DIR: every file in
        DIR/mods3 with its size and SHA-256 (listed mods keep their order, new ones follow
        sorted), the removal list (the old one plus mods no longer in the folder, minus
        those that are back), and the SHA-256 and size of Update.exe, Settingss.exe and
        the Forge installer when DIR holds them. --version sets lastversion (else the old
        value is kept). --mirror adds a mirror, a base URL that serves the same files
        (not the manifest); repeat it for more, in the order clients try them. Without
        --mirror the old manifest's mirrors are kept; --no-mirrors drops them. The manifest
        gets a serial, the old one's plus one (1 for the first) unless --serial sets it, and
        a last day, 180 days from today (UTC) unless --expires sets it: a client built with
        a key refuses a manifest with a lower serial than one it has taken (a replay of an
        old pack), and takes no self-update from one past its last day; a date already past
        is written with a warning (to take a pack down, or for tests). --key signs
        the manifest into DIR/Update.sig; without it a stale Update.sig is removed. Names
        the client could not use (\ / : < > " | ? *, control characters, device names such
        as CON, a trailing dot or space, more than 120 characters, two names equal but for
        letter case or for composed and decomposed letters), empty files, saved error pages,
        unusable mirror URLs and an old manifest that reads more than one way (a NUL
        character, a section or key twice) are refused and nothing is written; spaces,
        Cyrillic, % and # in names are fine.
verify  Fetches the manifest from URL (or reads it from DIR), then every file it names,
        and reports what is missing or differs in size or SHA-256, and any HTTP status
        other than success with the path asked for. --pubkey also checks Update.sig
        against the public key (128 hex characters), or any of several separated by ";".
        It shows the manifest's serial and last day, and warns when fewer than 14 days are
        left; a manifest past its last day is a problem. So are names the client takes for
        one file (as above, a name listed twice, a removed name that is a listed mod's), and
        a manifest that reads more than one way, which the client does not load.
        --mirrors also fetches every file the manifest names from each mirror it lists; the
        table names the mirror.
keygen  Writes a new private key to KEYFILE (never over an existing file) and prints the
        public key to build into the client (VELTRANE_PACK_KEY).

Moving to a new key: keygen the new key; release a client built with both public keys,
VELTRANE_PACK_KEY="OLD;NEW" (it takes a manifest signed by either), and keep signing with
the old key until players have it; then sign with the new key, and release a client with
NEW alone.

Example:
  veltrane-pack build /srv/dravenna --key admin.key --mirror https://mirror.example/dravenna
  veltrane-pack verify https://files.example/dravenna --pubkey HEX --mirrors

Network: natively, verify goes through the proxy that http_proxy, https_proxy and no_proxy
name and trusts the CA bundle that CURL_CA_BUNDLE names, as curl does; veltrane-pack.exe
uses the system's proxy settings and certificate store, as the client does.

Exit status: 0 ok, 1 verify found problems or something failed, 2 refused input or usage.
)";

namespace {

struct Parsed {
  std::vector<std::string> positional;
  std::optional<std::string> version;
  std::optional<std::string> key;
  std::optional<std::string> pubkey;
  std::vector<std::string> mirror;
  bool no_mirrors = false;
  bool mirrors = false;
  std::optional<std::string> serial;
  std::optional<std::string> expires;
};

// Options with a value take the next argument. Nullopt (and a message) on anything unknown.
std::optional<Parsed> Parse(const std::vector<std::string>& args, std::ostream& err) {
  Parsed parsed;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::optional<std::string>* option = nullptr;
    if (arg == "--version") option = &parsed.version;
    if (arg == "--key") option = &parsed.key;
    if (arg == "--pubkey") option = &parsed.pubkey;
    if (arg == "--serial") option = &parsed.serial;
    if (arg == "--expires") option = &parsed.expires;
    const bool valued = option || arg == "--mirror";
    if (valued && i + 1 >= args.size()) {
      err << "veltrane-pack: " << arg << " needs a value\n";
      return std::nullopt;
    }
    if (option) {
      *option = args[++i];
    } else if (arg == "--mirror") {
      parsed.mirror.push_back(args[++i]);
    } else if (arg == "--no-mirrors") {
      parsed.no_mirrors = true;
    } else if (arg == "--mirrors") {
      parsed.mirrors = true;
    } else if (arg.starts_with("--")) {
      err << "veltrane-pack: unknown option " << arg << "\n";
      return std::nullopt;
    } else {
      parsed.positional.push_back(arg);
    }
  }
  return parsed;
}

int Usage(PackIo& io) {
  io.err << kUsage;
  return kExitRefused;
}

int Keygen(const std::string& path, PackIo& io) {
  const P256KeyPair key = GenerateP256KeyPair();
  switch (WritePrivateFile(path, FormatKeyFile(key))) {
    case NewFileResult::kExists:
      io.err << "veltrane-pack: " << path << " already exists; it was not overwritten\n";
      return kExitRefused;
    case NewFileResult::kFailed:
      io.err << "veltrane-pack: unable to write " << path << "\n";
      return kExitProblems;
    case NewFileResult::kWritten:
      break;
  }
  io.out << "Private key written to " << path << "; keep it secret, it signs the manifest.\n"
         << "Public key (build it into the client as VELTRANE_PACK_KEY):\n"
         << PublicKeyText(key.public_key) << "\n";
  return kExitOk;
}

bool IsUrl(const std::string& target) {
  return target.starts_with("http://") || target.starts_with("https://");
}

int Verify(std::string target, const std::optional<std::string>& pubkey, bool mirrors, PackIo& io) {
  VerifyOptions options;
  options.progress = io.out_is_terminal;
  options.today = net::UtcDay(io.now);
  if (mirrors) {
    options.mirror_source = [&io](const std::string& base) {
      return HttpSource(*io.transport, base);
    };
  }
  if (pubkey) {
    // Several keys, as a client moving to a new one holds them.
    std::string keys;
    for (std::size_t start = 0; start <= pubkey->size();) {
      const std::size_t end = std::min(pubkey->find(';', start), pubkey->size());
      const auto key = ParsePublicKeyText(pubkey->substr(start, end - start));
      if (!key) {
        io.err << "veltrane-pack: --pubkey must be 128 hex characters (X and Y of the key), or "
                  "several separated by \";\"\n";
        return kExitRefused;
      }
      keys += (keys.empty() ? "" : ";") + net::ToHex(*key);
      start = end + 1;
    }
    options.public_key = keys;
  }
  std::unique_ptr<PackSource> source;
  if (IsUrl(target)) {
    while (target.ends_with("/")) target.pop_back();
    source = HttpSource(*io.transport, target);
  } else {
    source = FolderSource(target);
  }
  return RunVerify(*source, options, io.out);
}

}  // namespace

int RunPack(const std::vector<std::string>& args, PackIo& io) {
  if (args.empty()) return Usage(io);
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    io.out << kUsage;
    return kExitOk;
  }
  const auto parsed = Parse(args, io.err);
  if (!parsed) return Usage(io);
  const std::string& command = args[0];
  const Parsed& p = *parsed;
  const bool one_target = p.positional.size() == 1;
  const bool build_options =
      p.version || p.key || !p.mirror.empty() || p.no_mirrors || p.serial || p.expires;
  const bool verify_options = p.pubkey || p.mirrors;
  if (p.no_mirrors && !p.mirror.empty()) {
    io.err << "veltrane-pack: --mirror and --no-mirrors cannot go together\n";
    return Usage(io);
  }
  try {
    if (command == "build" && one_target && !verify_options) {
      BuildOptions options{p.positional[0], p.version,    p.key,        p.mirror,
                           p.no_mirrors,    std::nullopt, std::nullopt, net::UtcDay(io.now)};
      if (p.serial) {
        options.serial = net::ParseDecimal(*p.serial);
        if (!options.serial || *options.serial < 1) {
          io.err << "veltrane-pack: --serial must be a whole number from 1\n";
          return Usage(io);
        }
      }
      if (p.expires) {
        options.expires = net::ParseDate(*p.expires);
        if (!options.expires) {
          io.err << "veltrane-pack: --expires must be a day written YYYY-MM-DD\n";
          return Usage(io);
        }
      }
      return RunBuild(options, io.out, io.err);
    }
    if (command == "verify" && one_target && !build_options) {
      return Verify(p.positional[0], p.pubkey, p.mirrors, io);
    }
    if (command == "keygen" && one_target && !build_options && !verify_options) {
      return Keygen(p.positional[0], io);
    }
  } catch (const std::exception& e) {
    io.err << "veltrane-pack: " << e.what() << "\n";
    return kExitProblems;
  }
  if (command != "build" && command != "verify" && command != "keygen") {
    io.err << "veltrane-pack: unknown command " << command << "\n";
  }
  return Usage(io);
}

}  // namespace veltrane::pack
