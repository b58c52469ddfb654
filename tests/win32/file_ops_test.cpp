#include "base/file_ops.h"

#include <gtest/gtest.h>

#include <string>

#include "system_helpers.h"
#include "temp_dir.h"

namespace veltrane {
namespace {

using test::ExclusiveLock;
using test::ReadFileBytes;
using test::TempDir;

TEST(FileOps, FileRoutinesOnLockedFiles) {
  TempDir dir;
  const std::string locked = dir.Write("held.jar", "content");
  ExclusiveLock lock(locked);
  ASSERT_TRUE(lock.held());
  EXPECT_THROW(FileSizeOf(locked), FileReadError);

  // A target in use cannot be deleted, so the move fails and the source stays.
  const std::string source = dir.Write("new.jar", "new");
  EXPECT_FALSE(MoveFileTo(source, locked, false));
  EXPECT_EQ(ReadFileBytes(source), "new");
  lock.Release();
  EXPECT_EQ(FileSizeOf(locked), 7);
  EXPECT_TRUE(MoveFileTo(source, locked, false));
  EXPECT_EQ(ReadFileBytes(locked), "new");
}

}  // namespace
}  // namespace veltrane
