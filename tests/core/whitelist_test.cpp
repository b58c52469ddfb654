#include "sync/whitelist.h"

#include <gtest/gtest.h>

namespace veltrane::sync {
namespace {

TEST(WhitelistTest, LegacyTextKeepsAnySubstring) {
  EXPECT_TRUE(IsKept("a.jarb.jar", "a.jar"));
  EXPECT_TRUE(IsKept("a.jarb.jar", "b.jar"));
  EXPECT_TRUE(IsKept("a.jarb.jar", "jarb"));  // the old rule's known looseness
  EXPECT_FALSE(IsKept("a.jarb.jar", "c.jar"));
  EXPECT_FALSE(IsKept("", "a.jar"));
  EXPECT_FALSE(IsKept("a.jar", ""));
}

TEST(WhitelistTest, DelimitedNamesMatchOnlyWhole) {
  EXPECT_TRUE(IsKept("|bigfoo.jar|", "bigfoo.jar"));
  EXPECT_FALSE(IsKept("|bigfoo.jar|", "foo.jar"));
  EXPECT_FALSE(IsKept("|a.jar||b.jar|", "a.jar|"));
  // Legacy runs before the first and after the last separator still use the substring rule.
  EXPECT_TRUE(IsKept("old.jar|new.jar|tail.jar", "old.jar"));
  EXPECT_TRUE(IsKept("old.jar|new.jar|tail.jar", "tail.jar"));
  EXPECT_TRUE(IsKept("old.jar|new.jar|tail.jar", "new.jar"));
  EXPECT_FALSE(IsKept("old.jar|new.jar|tail.jar", "ew.jar"));
}

TEST(WhitelistTest, UncheckedNamesAreAppendedOnceWithSeparators) {
  EXPECT_EQ(UpdateWhitelistOnDelete("", {{"a.jar", false}, {"b.jar", false}, {"a.jar", false}}),
            "|a.jar|b.jar|");
  EXPECT_EQ(UpdateWhitelistOnDelete("|a.jar|", {{"a.jar", false}}), "|a.jar|");
  // Appending can no longer merge two names into a third.
  const std::string text = UpdateWhitelistOnDelete("", {{"foo", false}, {"bar.jar", false}});
  EXPECT_FALSE(IsKept(text, "foobar.jar"));
  EXPECT_TRUE(IsKept(text, "foo"));
  EXPECT_TRUE(IsKept(text, "bar.jar"));
  // Names that cannot be stored are left out.
  EXPECT_EQ(UpdateWhitelistOnDelete("", {{"a|b", false}, {"", false}}), "");
}

TEST(WhitelistTest, CheckedNamesAreRemovedWhole) {
  EXPECT_EQ(UpdateWhitelistOnDelete("|a.jar|b.jar|a.jar|", {{"a.jar", true}}), "|b.jar|");
  EXPECT_EQ(UpdateWhitelistOnDelete("|foo.jar|bigfoo.jar|", {{"foo.jar", true}}), "|bigfoo.jar|");
  EXPECT_EQ(UpdateWhitelistOnDelete("|a.jar|", {{"a.jar", true}}), "");
  EXPECT_EQ(UpdateWhitelistOnDelete("|a.jar|", {{"c.jar", true}}), "|a.jar|");
}

TEST(WhitelistTest, LegacyTextIsCutButKeptNamesSurvive) {
  // The old removal: every occurrence cut from the legacy run.
  EXPECT_EQ(UpdateWhitelistOnDelete("a.jarb.jara.jar", {{"a.jar", true}}), "b.jar");
  // A kept name containing the deleted one is written out whole before the cut.
  const std::string text =
      UpdateWhitelistOnDelete("bigfoo.jar", {{"foo.jar", true}, {"bigfoo.jar", false}});
  EXPECT_TRUE(IsKept(text, "bigfoo.jar"));
  EXPECT_FALSE(IsKept(text, "foo.jar"));
  EXPECT_EQ(text, "big|bigfoo.jar|");
  // Unshown legacy names and a legacy tail stay where they are.
  EXPECT_EQ(UpdateWhitelistOnDelete("x.jar|n.jar|y.jar", {{"z.jar", false}}),
            "x.jar|n.jar|z.jar|y.jar");
  EXPECT_EQ(UpdateWhitelistOnDelete("x.jar", {{"x.jar", false}}), "x.jar|x.jar|");
}

TEST(WhitelistTest, KeptNamesSurviveCutsInAnyOrder) {
  const CleanupChoice b{"b", true};
  const CleanupChoice a_jar{"a.jar", false};
  const CleanupChoice jar{"jar", true};
  const std::vector<std::vector<CleanupChoice>> orders = {
      {b, a_jar, jar}, {jar, a_jar, b}, {a_jar, b, jar}, {b, jar, a_jar}};
  for (const auto& order : orders) {
    const std::string text = UpdateWhitelistOnDelete("ab.jar", order);
    SCOPED_TRACE(text);
    EXPECT_TRUE(IsKept(text, "a.jar"));
    EXPECT_FALSE(IsKept(text, "b"));
    EXPECT_FALSE(IsKept(text, "jar"));
  }
  // A cut that joins the text into another deleted name is followed by that name's cut too.
  const std::string joined = UpdateWhitelistOnDelete("xaby", {{"xy", true}, {"ab", true}});
  EXPECT_FALSE(IsKept(joined, "xy"));
}

TEST(WhitelistTest, LaterChoicesForTheSameNameWin) {
  EXPECT_FALSE(IsKept(UpdateWhitelistOnDelete("", {{"a.jar", false}, {"a.jar", true}}), "a.jar"));
  EXPECT_TRUE(
      IsKept(UpdateWhitelistOnDelete("|a.jar|", {{"a.jar", true}, {"a.jar", false}}), "a.jar"));
}

}  // namespace
}  // namespace veltrane::sync
