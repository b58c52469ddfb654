#include "base/file_ops.h"

#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "base/u8path.h"
#include "temp_dir.h"

namespace veltrane {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;

TEST(FileSizeOf, NothingFolderAndEmptyFileGiveZero) {
  TempDir dir;
  EXPECT_EQ(FileSizeOf(dir.Sub("missing.jar")), 0);
  fs::create_directories(dir.path() / "folder");
  EXPECT_EQ(FileSizeOf(dir.Sub("folder")), 0);
  EXPECT_EQ(FileSizeOf(dir.Write("empty.jar", "")), 0);
}

TEST(FileSizeOf, CountsWhatIsRead) {
  TempDir dir;
  EXPECT_EQ(FileSizeOf(dir.Write("мод.jar", std::string(1000, 'x'))), 1000);
  // Larger than the read chunk and not a multiple of it.
  const std::string big = dir.Write("big.jar", "");
  const std::int64_t size = 25 * 1024 * 1024 + 17;
  fs::resize_file(U8Path(big), static_cast<std::uintmax_t>(size));
  EXPECT_EQ(FileSizeOf(big), size);
}

TEST(MoveFileTo, MovesAndRespectsKeepExisting) {
  TempDir dir;
  const std::string source = dir.Write("a.jar", "new");
  const std::string target = dir.Sub("mods/a.jar");
  fs::create_directories(dir.path() / "mods");
  EXPECT_TRUE(MoveFileTo(source, target, true));
  EXPECT_FALSE(fs::exists(U8Path(source)));
  EXPECT_EQ(ReadFileBytes(target), "new");

  // Keep-existing with a target in place: nothing is touched.
  const std::string second = dir.Write("a2.jar", "other");
  EXPECT_FALSE(MoveFileTo(second, target, true));
  EXPECT_EQ(ReadFileBytes(second), "other");
  EXPECT_EQ(ReadFileBytes(target), "new");

  // Without it the target is replaced.
  EXPECT_TRUE(MoveFileTo(second, target, false));
  EXPECT_FALSE(fs::exists(U8Path(second)));
  EXPECT_EQ(ReadFileBytes(target), "other");
}

TEST(MoveFileTo, FailuresGiveFalse) {
  TempDir dir;
  // No source: false, and nothing appears.
  EXPECT_FALSE(MoveFileTo(dir.Sub("none.jar"), dir.Sub("t.jar"), false));
  EXPECT_FALSE(fs::exists(dir.path() / "t.jar"));
  // A target that cannot be deleted (a folder with content) makes the move fail.
  const std::string source = dir.Write("s.jar", "s");
  dir.Write("busy.jar/inside", "x");
  EXPECT_FALSE(MoveFileTo(source, dir.Sub("busy.jar"), false));
  EXPECT_EQ(ReadFileBytes(source), "s");
  EXPECT_EQ(ReadFileBytes(dir.Sub("busy.jar/inside")), "x");
  // No folder for the target.
  EXPECT_FALSE(MoveFileTo(source, dir.Sub("no/such/folder.jar"), false));
  EXPECT_EQ(ReadFileBytes(source), "s");
}

#ifndef _WIN32
TEST(MoveFileTo, MovesAcrossVolumes) {
  std::error_code ec;
  const fs::path shm = "/dev/shm";
  TempDir dir;
  struct stat here {
  }, there{};
  if (stat(dir.path().c_str(), &here) != 0 || stat(shm.c_str(), &there) != 0 ||
      here.st_dev == there.st_dev) {
    GTEST_SKIP() << "no second volume";
  }
  const fs::path other = shm / ("veltrane-move-" + dir.path().filename().string());
  fs::create_directories(other);
  const std::string source = dir.Write("far.jar", std::string(300000, 'f'));
  const std::string target = PathText(other / "far.jar");
  const bool moved = MoveFileTo(source, target, false);
  const std::string content = ReadFileBytes(target);
  fs::remove_all(other, ec);
  EXPECT_TRUE(moved);
  EXPECT_FALSE(fs::exists(U8Path(source)));
  EXPECT_EQ(content, std::string(300000, 'f'));
}
#endif

}  // namespace
}  // namespace veltrane
