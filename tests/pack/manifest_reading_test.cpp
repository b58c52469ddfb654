// The client and verify must read a manifest alike, or verify passes what the client fetches
// otherwise. Each manifest of the table is signed, then fetched as the client fetches it (under
// the build's key) and read with the client's store (the platform's own under Wine), and
// verified from a folder holding exactly the mods the client would fetch.
#include <gtest/gtest.h>

#include <sstream>

#include "fake_server.h"
#include "key_file.h"
#include "net/manifest.h"
#include "net/manifest_fetch.h"
#include "pack_fixture.h"
#include "signed_manifest.h"
#include "signing.h"
#include "verify.h"
#ifdef _WIN32
#include "app/profile_ini.h"
#endif

namespace veltrane::pack {
namespace {

using ::testing::HasSubstr;

std::string Body(std::string_view name) {
  return "the mod " + std::string(name);
}

// The lines of one mod, published as the pack tool publishes it; `name` as the file spells it,
// `read` as a reader gives it (when they differ).
std::string Entry(int index, std::string_view name, std::string_view read = {}) {
  const std::string body = Body(read.empty() ? name : read);
  const std::string key = "mod" + std::to_string(index);
  return key + "=" + std::string(name) + "\r\n" + key + "size=" + std::to_string(body.size()) +
         "\r\n" + key + "sha256=" + test::Sha256Hex(body) + "\r\n";
}

std::string Utf16Le(std::string_view ascii) {
  std::string out = "\xFF\xFE";
  for (const char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

struct Tricky {
  const char* what;
  std::string manifest;  // the file's bytes
  bool refused;
};

std::vector<Tricky> Table() {
  const std::string a = Entry(1, "a.jar");
  const std::string c = Entry(1, "c.jar");
  return {
      {"plain", "[modlist]\r\nCount=2\r\n" + a + Entry(2, "\xC1\xE8\xE1.jar", "Биб.jar"), false},
      {"loose layout",
       "; a comment\n[ modlist ]\nCount = 1\n MOD1 = \"a.jar\"\nmod1size=" +
           std::to_string(Body("a.jar").size()) + "\nmod1sha256=" + test::Sha256Hex(Body("a.jar")) +
           "\n",
       false},
      {"UTF-16", Utf16Le("[modlist]\r\nCount=1\r\n" + a), false},
      {"NUL in a key", "[modlist]\r\nCount=1\r\n" + std::string("mod1\0x=c.jar\r\n", 14) + a, true},
      {"NUL in a section name",
       std::string("[modlist\0x]\r\n", 13) + "Count=1\r\n" + c + "[modlist]\r\nCount=1\r\n" + a,
       true},
      {"NUL in UTF-16", Utf16Le(std::string("[modlist]\r\nCount=1\r\nmod1\0x=c.jar\r\n", 34) + a),
       true},
      {"a key twice", "[modlist]\r\nCount=1\r\n" + a + "mod1=c.jar\r\n", true},
      {"a key twice in other case", "[modlist]\r\nCount=1\r\n" + a + "MOD1=c.jar\r\n", true},
      {"a section twice", "[modlist]\r\nCount=1\r\n" + a + "[modlist]\r\nCount=1\r\n" + c, true},
      {"a section twice in other case",
       "[modlist]\r\nCount=1\r\n" + a + "[MODLIST]\r\nCount=1\r\n" + c, true},
  };
}

class ManifestReadingTest : public PackTest {
 protected:
  void SetUp() override { key_ = GenerateP256KeyPair(); }

  // The mods the client takes from `manifest`; nullopt when it does not load it.
  std::optional<std::vector<std::string>> ClientReads(const std::string& manifest) {
    const auto signature = SignP256(key_, manifest);
    if (!signature) throw std::runtime_error("the test key signs nothing");
    test::FakeServer server;
    const std::string url = "http://pack.test";
    server.Put(url + "/Update", manifest);
    server.Put(url + "/Update.sig", std::string(signature->begin(), signature->end()));
    const std::string data = dir_.Sub("data" + std::to_string(++fetches_));
    std::filesystem::create_directories(U8Path(data));
    if (net::FetchManifest(server, url, data, std::nullopt, PublicKeyText(key_.public_key)) !=
        net::ManifestFetch::kTaken) {
      return std::nullopt;
    }
    const std::string path = data + "/Update.ini";
#ifdef _WIN32
    const win32::ProfileIniStore store(path);
#else
    const app::PortableIniStore store(path, Cp1251Codec());
#endif
    std::vector<std::string> names;
    for (const auto& entry : net::ReadModList(store).entries) names.push_back(entry.name);
    return names;
  }

  P256KeyPair key_;
  int fetches_ = 0;
};

TEST_F(ManifestReadingTest, TheClientAndVerifyTakeTheSameModsOrBothRefuse) {
  for (const Tricky& c : Table()) {
    const auto client = ClientReads(c.manifest);
    EXPECT_EQ(!client, c.refused) << c.what;
    std::filesystem::remove_all(U8Path(Srv()));
    Put("Update", c.manifest);
    for (const auto& name : client.value_or(std::vector<std::string>{})) Mod(name, Body(name));
    std::ostringstream out;
    const int verdict = RunVerify(*FolderSource(Srv()), VerifyOptions{}, out);
    EXPECT_EQ(verdict != 0, !client) << c.what << "\n" << out.str();
    if (!client) {
      EXPECT_THAT(out.str(), HasSubstr("The client does not load this manifest")) << c.what;
    } else {
      EXPECT_FALSE(client->empty()) << c.what;
    }
  }
}

}  // namespace
}  // namespace veltrane::pack
