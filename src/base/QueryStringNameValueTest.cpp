// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/QueryStringNameValue.h"

#include "base/HResultError.h"

#include <gtest/gtest.h>

TEST(QueryString, PairsKeepOrderSkipEmptyPiecesAndDecode)
{
    auto const Vector = ParseQueryString("?a=1&&b&c=x%41+y&a=2&e==x=");
    std::vector<std::pair<std::string, std::string>> Pairs;
    for(auto const& Pair : Vector)
        Pairs.emplace_back(Pair.Name, Pair.Value);
    EXPECT_EQ(Pairs, (std::vector<std::pair<std::string, std::string>>{{"a", "1"}, {"b", ""}, {"c", "xA y"}, {"a", "2"}, {"e", "=x="}}));
    EXPECT_EQ(FindQueryValue(Vector, "a")->Value, "1");
    EXPECT_EQ(FindQueryValue(Vector, "A"), nullptr);
    EXPECT_TRUE(ParseQueryString("").empty());
    EXPECT_TRUE(ParseQueryString("?").empty());
}

TEST(QueryString, EscapesDecodeToSingleCodePointsShortOnesStayAndBadOnesRaise)
{
    // %C3%A9 is two characters, U+00C3 and U+00A9, each written as UTF-8.
    EXPECT_EQ(QueryStringNameValue::Unescape("%C3%A9"), "\xC3\x83\xC2\xA9");
    EXPECT_EQ(QueryStringNameValue::Unescape("%6e%61me"), "name");
    EXPECT_EQ(QueryStringNameValue::Unescape("%00").size(), 1u);
    // A conversion stops before a second character that is not a digit.
    EXPECT_EQ(QueryStringNameValue::Unescape("%4z"), std::string("\x04", 1));
    EXPECT_EQ(QueryStringNameValue::Unescape("v%4"), "v%4");
    EXPECT_EQ(QueryStringNameValue::Unescape("%"), "%");
    EXPECT_THROW(QueryStringNameValue::Unescape("%zz"), HResultError);
    try
    {
        ParseQueryString("a=%zz");
        FAIL();
    }
    catch(HResultError const& Error)
    {
        EXPECT_EQ(Error.Code(), E_INVALIDARG);
    }
}
