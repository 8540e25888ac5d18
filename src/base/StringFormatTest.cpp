// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/StringFormat.h"

#include <gtest/gtest.h>

TEST(StringFormat, PlaceholdersAreReplacedEverywhereAndCannotLoop)
{
    EXPECT_EQ(ReplacePlaceholders("<p>$(Build)</p><i>$(Build)</i>", {{"Build", "abc; Release"}}), "<p>abc; Release</p><i>abc; Release</i>");
    EXPECT_EQ(ReplacePlaceholders("$(A)", {{"A", "$(A)$(A)"}}), "$(A)$(A)");
    EXPECT_EQ(ReplacePlaceholders("$(Missing) stays", {{"A", "x"}}), "$(Missing) stays");
}
