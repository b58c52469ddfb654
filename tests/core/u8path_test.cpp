#include "base/u8path.h"

#include <gtest/gtest.h>

namespace veltrane {
namespace {

TEST(U8Path, CyrillicNamesSurviveTheRoundTrip) {
  const std::string name = "Veltrane - Статус.txt";
  EXPECT_EQ(PathText(U8Path(name)), name);
  EXPECT_EQ(U8Path(name).filename().u8string().size(), name.size());
}

}  // namespace
}  // namespace veltrane
