#include "base/size_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace veltrane {
namespace {

TEST(SizeToText, CommaSeparatorTable) {
  EXPECT_EQ(SizeToText(0, ","), "0 Байт");
  EXPECT_EQ(SizeToText(1023, ","), "1023 Байт");
  EXPECT_EQ(SizeToText(1024, ","), "1 Кб");
  EXPECT_EQ(SizeToText(1088, ","), "1,062 Кб");  // 1.0625: the tie goes to the even digit
  EXPECT_EQ(SizeToText(1216, ","), "1,188 Кб");  // 1.1875: the even digit is above
  EXPECT_EQ(SizeToText(1536, ","), "1,5 Кб");
  EXPECT_EQ(SizeToText(5000, ","), "4,883 Кб");
  EXPECT_EQ(SizeToText(1048575, ","), "1023,999 Кб");
  EXPECT_EQ(SizeToText(1048576, ","), "1 Мб.");
  EXPECT_EQ(SizeToText(-1, ","), "-1 Байт");
  EXPECT_EQ(SizeToText(-5000, ","), "-5000 Байт");
  EXPECT_EQ(SizeToText(0.5, ","), "0,5 Байт");
}

TEST(SizeToText, PointSeparatorAndLargerUnits) {
  const double k = 1024;
  EXPECT_EQ(SizeToText(1536, "."), "1.5 Кб");
  EXPECT_EQ(SizeToText(1.5 * k * k, "."), "1.5 Мб.");
  EXPECT_EQ(SizeToText(k * k * k, "."), "1 Гб.");
  EXPECT_EQ(SizeToText(3.25 * std::pow(k, 4), "."), "3.25 Тб.");
  EXPECT_EQ(SizeToText(std::pow(k, 5), "."), "1 Пб.");
  EXPECT_EQ(SizeToText(std::pow(k, 6), "."), "1 Эб.");
  EXPECT_EQ(SizeToText(std::pow(k, 7), "."), "1 Зб.");
  EXPECT_EQ(SizeToText(1000 * std::pow(k, 8), "."), "1000 Иб.");
  // The largest double below 1024^9 still has a unit; it rounds to 1024.
  EXPECT_EQ(SizeToText(std::nextafter(std::pow(k, 9), 0.0), "."), "1024 Иб.");
  EXPECT_EQ(SizeToText(std::pow(k, 9), "."), "");
  EXPECT_EQ(SizeToText(1e40, "."), "");
  EXPECT_EQ(SizeToText(std::nan(""), "."), "");
  // The separator is used as given, whatever its length.
  EXPECT_EQ(SizeToText(1536, "::"), "1::5 Кб");
  // A count too large for 15 digits falls into exponent form.
  EXPECT_EQ(SizeToText(-1e20, ","), "-1E20 Байт");
  EXPECT_EQ(SizeToText(-1.5e20, ","), "-1,5E20 Байт");
  EXPECT_EQ(SizeToText(-123456789012345, ","), "-123456789012345 Байт");
}

}  // namespace
}  // namespace veltrane
