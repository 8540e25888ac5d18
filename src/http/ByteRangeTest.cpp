// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/ByteRange.h"
#include "http/EntityTag.h"

#include <gtest/gtest.h>

using HttpServer::ByteRange;
using HttpServer::EntityTag;
using Outcome = HttpServer::ByteRange::Outcome;

TEST(ByteRange, OneRangeIsClippedToTheBodyAnythingElseIsWholeOrUnsatisfiable)
{
    struct Row
    {
        std::string_view Field;
        std::uint64_t Length;
        Outcome Result;
        std::uint64_t First = 0, Last = 0;
    };
    for(auto const& Row : std::initializer_list<Row>{
            {"bytes=0-1", 100, Outcome::Partial, 0, 1}, // what Safari asks first
            {"bytes=5-9", 100, Outcome::Partial, 5, 9},
            {"bytes=10-", 100, Outcome::Partial, 10, 99},
            {"bytes=90-500", 100, Outcome::Partial, 90, 99},
            {"bytes=-10", 100, Outcome::Partial, 90, 99},
            {"bytes=-500", 100, Outcome::Partial, 0, 99},
            {"Bytes = 99-99", 100, Outcome::Partial, 99, 99},
            {"bytes=100-", 100, Outcome::Unsatisfiable},
            {"bytes=100-200", 100, Outcome::Unsatisfiable},
            {"bytes=-0", 100, Outcome::Unsatisfiable},
            {"bytes=0-", 0, Outcome::Unsatisfiable},
        })
    {
        auto const Range = ByteRange::Evaluate(Row.Field, Row.Length);
        EXPECT_EQ(Range.Result, Row.Result) << Row.Field;
        if(Row.Result == Outcome::Partial)
        {
            EXPECT_EQ(std::make_pair(Range.First, Range.Last), std::make_pair(Row.First, Row.Last)) << Row.Field;
        }
    }
    EXPECT_EQ(ByteRange::Evaluate("bytes=5-9", 100).Size(), 5u);
    for(std::string_view Field : {"", "bytes", "items=0-1", "bytes=5-4", "bytes=a-b", "bytes=-", "bytes=0-1,5-6", "bytes=+1-2", "bytes=1-2x",
                                  "bytes=99999999999999999999999-"})
        EXPECT_EQ(ByteRange::Evaluate(Field, 100).Result, Outcome::Whole) << Field;
}

TEST(EntityTag, IfNoneMatchComparesWeaklyOverTheListIfRangeStrongly)
{
    EXPECT_TRUE(EntityTag::NoneMatchHolds("\"a\"", "\"a\""));
    EXPECT_TRUE(EntityTag::NoneMatchHolds("\"x\", W/\"a\"", "\"a\""));
    EXPECT_TRUE(EntityTag::NoneMatchHolds(" * ", "\"a\""));
    for(auto const* List : {"\"b\"", "", "a"})
        EXPECT_FALSE(EntityTag::NoneMatchHolds(List, "\"a\"")) << List;
    EXPECT_FALSE(EntityTag::NoneMatchHolds("\"a\"", ""));
    EXPECT_TRUE(EntityTag::RangeHolds("", "\"a\""));
    EXPECT_TRUE(EntityTag::RangeHolds("\"a\"", "\"a\""));
    for(auto const* Validator : {"W/\"a\"", "\"b\"", "Sun, 06 Dec 2026 09:40:00 GMT"})
        EXPECT_FALSE(EntityTag::RangeHolds(Validator, "\"a\"")) << Validator;
}
