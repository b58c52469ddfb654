#include "base/number_text.h"

#include <gtest/gtest.h>

namespace veltrane {
namespace {

TEST(ParseInt32, DecimalAndHexadecimalForms) {
  EXPECT_EQ(ParseInt32("0"), 0);
  EXPECT_EQ(ParseInt32("1"), 1);
  EXPECT_EQ(ParseInt32("-15"), -15);
  EXPECT_EQ(ParseInt32("+7"), 7);
  EXPECT_EQ(ParseInt32("$1F"), 31);
  EXPECT_EQ(ParseInt32("0x1f"), 31);
  EXPECT_EQ(ParseInt32("0X10"), 16);
  EXPECT_EQ(ParseInt32("-$10"), -16);
  EXPECT_EQ(ParseInt32("2147483647"), 2147483647);
  EXPECT_EQ(ParseInt32("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseInt32("$FFFFFFFF"), -1);
}

TEST(ParseInt32, AnythingElseIsNotANumber) {
  for (const char* text : {"", "yes", "abc", "1.5", "12a", " 1", "1 ", "-", "$", "0x", "$G",
                           "2147483648", "-2147483649", "$100000000", "1e3"}) {
    EXPECT_FALSE(ParseInt32(text).has_value()) << '"' << text << '"';
  }
}

TEST(ParseInt64, CoversTheWholeRangeOfFileLengths) {
  EXPECT_EQ(ParseInt64("1073741824"), 1073741824LL);
  EXPECT_EQ(ParseInt64("9223372036854775807"), INT64_MAX);
  EXPECT_FALSE(ParseInt64("9223372036854775808").has_value());
  EXPECT_FALSE(ParseInt64("12 345").has_value());
}

}  // namespace
}  // namespace veltrane
