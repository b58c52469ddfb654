#include "net/bar_model.h"

#include <gtest/gtest.h>

#include <limits>

namespace veltrane::net {
namespace {

TEST(BarModel, KnownAndUnknownLengths) {
  BarModel bar;
  bar.Begin(25000);
  EXPECT_EQ(bar.View(), (BarView{false, 25000, 0}));
  EXPECT_TRUE(bar.Advance(10240));
  EXPECT_FALSE(bar.Advance(0));
  EXPECT_TRUE(bar.Advance(14760));
  // A body longer than stated stays at the end instead of overflowing the control.
  EXPECT_FALSE(bar.Advance(5));
  EXPECT_EQ(bar.View().position, 25000);

  bar.Begin(-1);
  EXPECT_TRUE(bar.View().indeterminate);
  EXPECT_FALSE(bar.Advance(4096));
  EXPECT_EQ(bar.Done(), 4096);
  bar.Begin(0);
  EXPECT_EQ(bar.View(), (BarView{false, 0, 0}));
}

TEST(BarModel, LengthsBeyondThirtyTwoBitsAreScaled) {
  constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
  for (const std::int64_t length : {kInt32Max, kInt32Max + 1, std::int64_t{5} << 32,
                                    std::numeric_limits<std::int64_t>::max()}) {
    BarModel bar;
    bar.Begin(length);
    EXPECT_GT(bar.View().maximum, kInt32Max / 2) << length;
    bar.Advance(length / 2);
    const double fraction = static_cast<double>(bar.View().position) / bar.View().maximum;
    EXPECT_NEAR(fraction, 0.5, 0.001) << length;
    bar.Advance(length);
    EXPECT_EQ(bar.View().position, bar.View().maximum) << length;
  }
}

}  // namespace
}  // namespace veltrane::net
