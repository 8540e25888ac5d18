// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/StringFormat.h"

#include <gtest/gtest.h>

TEST(StringFormat, FormatsAndCompares)
{
    EXPECT_EQ(StringFormat("%03u-%s", 7u, "master.m3u8"), "007-master.m3u8");
    EXPECT_EQ(StringFormat("%s", ""), "");
    EXPECT_EQ(StringFormat("%.3f", 3.0), "3.000");
    EXPECT_TRUE(EqualsIgnoreCase("SYNTAX", "syntax"));
    EXPECT_FALSE(EqualsIgnoreCase("Syntax", "Syntax2"));
    EXPECT_EQ(Join({"a", "b", "c"}, ", "), "a, b, c");
    EXPECT_EQ(Join({}, ", "), "");
}

TEST(StringFormat, PlaceholdersAreReplacedEverywhereAndCannotLoop)
{
    EXPECT_EQ(ReplacePlaceholders("<p>$(Build)</p><i>$(Build)</i>", {{"Build", "abc; Release"}}), "<p>abc; Release</p><i>abc; Release</i>");
    EXPECT_EQ(ReplacePlaceholders("$(A)", {{"A", "$(A)$(A)"}}), "$(A)$(A)");
    EXPECT_EQ(ReplacePlaceholders("$(Missing) stays", {{"A", "x"}}), "$(Missing) stays");
}
