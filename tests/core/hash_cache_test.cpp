#include "sync/hash_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/u8path.h"
#include "signed_manifest.h"
#include "temp_dir.h"

namespace veltrane::sync {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::Sha256Hex;

class HashCacheTest : public ::testing::Test {
 protected:
  // Writes a mod with the given modification time (an hour ago unless said otherwise).
  std::string Put(const std::string& name, const std::string& bytes,
                  fs::file_time_type time = fs::file_time_type::clock::now() - 1h) {
    const std::string path = mods_.Write(name, bytes);
    fs::last_write_time(U8Path(path), time);
    return path;
  }
  fs::file_time_type TimeOf(const std::string& name) const {
    return fs::last_write_time(mods_.path() / U8Path(name));
  }
  std::string Folder() const { return PathText(mods_.path()); }
  std::string CacheFile() const { return data_.Sub("Hashes.txt"); }

  test::TempDir mods_;
  test::TempDir data_;
};

// Other bytes of the same size under the same time are not seen: proof that the file was not
// read again, in this run or the next.
TEST_F(HashCacheTest, AnUnchangedFileIsNotReadAgain) {
  Put("a.jar", "first bytes");
  const auto time = TimeOf("a.jar");
  HashCache cache(CacheFile());
  EXPECT_EQ(cache.HashOf(Folder(), "a.jar"), Sha256Hex("first bytes"));
  Put("a.jar", "other bytes", time);
  EXPECT_EQ(cache.HashOf(Folder(), "a.jar"), Sha256Hex("first bytes"));
  ASSERT_TRUE(cache.Save());
  EXPECT_EQ(HashCache(CacheFile()).HashOf(Folder(), "a.jar"), Sha256Hex("first bytes"));
}

TEST_F(HashCacheTest, AChangedOrYoungFileIsHashedAgain) {
  struct Case {
    const char* what;
    std::string bytes;
    std::chrono::seconds later;  // the new time against the old
    bool young;                  // first written just now
  };
  const std::vector<Case> cases = {
      {"longer, same time", "first bytes!", 0s, false},
      {"same size, later", "other bytes", 1s, false},
      {"same size, earlier", "other bytes", -1s, false},
      {"same size and time, but first hashed while young", "other bytes", 0s, true},
  };
  for (const Case& c : cases) {
    const auto first =
        c.young ? fs::file_time_type::clock::now() : fs::file_time_type::clock::now() - 1h;
    Put("a.jar", "first bytes", first);
    const auto time = TimeOf("a.jar");
    HashCache cache(CacheFile());
    EXPECT_EQ(cache.HashOf(Folder(), "a.jar"), Sha256Hex("first bytes")) << c.what;
    Put("a.jar", c.bytes, time + c.later);
    EXPECT_EQ(cache.HashOf(Folder(), "a.jar"), Sha256Hex(c.bytes)) << c.what;
  }
}

// A line that does not have the form is skipped; the good line among them is trusted (its hash,
// not the file's, comes back).
TEST_F(HashCacheTest, DamagedLinesAreIgnored) {
  const std::string trusted(64, '7');
  std::string text;
  auto line = [&](const std::string& name, const std::string& sha, const std::string& size,
                  const std::string& time) {
    const std::string path = Put(name, name + " bytes");
    const std::string ticks =
        time.empty() ? std::to_string(TimeOf(name).time_since_epoch().count()) : time;
    text += sha + "\t" + (size.empty() ? std::to_string(fs::file_size(U8Path(path))) : size) +
            "\t" + ticks + "\t" + path + "\n";
  };
  line("good.jar", trusted, "", "");
  const std::vector<std::string> damaged = {"upper.jar", "short.jar", "size.jar", "time.jar"};
  line("upper.jar", std::string(64, 'A'), "", "");
  line("short.jar", std::string(63, '7'), "", "");
  line("size.jar", trusted, "12x", "");
  line("time.jar", trusted, "", "-");
  text += trusted + "\t1\t1\n" + trusted + "\t\t\t\n\x01\x02garbage\n";
  std::ofstream(U8Path(CacheFile()), std::ios::binary) << text;

  HashCache cache(CacheFile());
  EXPECT_EQ(cache.HashOf(Folder(), "good.jar"), trusted);
  for (const auto& name : damaged)
    EXPECT_EQ(cache.HashOf(Folder(), name), Sha256Hex(name + " bytes"));
}

TEST_F(HashCacheTest, SavingDropsFilesThatAreGone) {
  const std::string kept = Put("kept.jar", "kept");
  const std::string gone = Put("gone.jar", "gone");
  HashCache cache(CacheFile());
  ASSERT_TRUE(cache.HashOf(Folder(), "kept.jar"));
  ASSERT_TRUE(cache.HashOf(Folder(), "gone.jar"));
  EXPECT_FALSE(cache.HashOf(Folder(), "never.jar"));
  fs::remove(U8Path(gone));
  ASSERT_TRUE(cache.Save());
  const std::string saved = test::ReadFileBytes(CacheFile());
  EXPECT_NE(saved.find("\t" + kept + "\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("gone.jar"), std::string::npos) << saved;
  EXPECT_EQ(std::distance(fs::directory_iterator(data_.path()), fs::directory_iterator()), 1);

  HashCache nowhere(data_.Sub("missing/Hashes.txt"));
  EXPECT_FALSE(nowhere.Save());
}

}  // namespace
}  // namespace veltrane::sync
