// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/ByteRange.h"
#include "http/EntityTag.h"

#include <gtest/gtest.h>

using HttpServer::ByteRange;
using HttpServer::EntityTag;
using Outcome = HttpServer::ByteRange::Outcome;

namespace
{
void ExpectPartial(std::string_view Field, std::uint64_t Length, std::uint64_t First, std::uint64_t Last)
{
    auto const Range = ByteRange::Evaluate(Field, Length);
    ASSERT_EQ(Range.Result, Outcome::Partial) << Field;
    EXPECT_EQ(Range.First, First) << Field;
    EXPECT_EQ(Range.Last, Last) << Field;
}
} // namespace

TEST(ByteRange, OneRangeIsClippedToTheBody)
{
    ExpectPartial("bytes=0-1", 100, 0, 1);          // what Safari asks first
    ExpectPartial("bytes=10-", 100, 10, 99);
    ExpectPartial("bytes=90-500", 100, 90, 99);
    ExpectPartial("bytes=-10", 100, 90, 99);
    ExpectPartial("bytes=-500", 100, 0, 99);
    ExpectPartial("Bytes = 99-99", 100, 99, 99);
    EXPECT_EQ(ByteRange::Evaluate("bytes=5-9", 100).Size(), 5u);
}

TEST(ByteRange, RangesBeyondTheBodyAreUnsatisfiable)
{
    EXPECT_EQ(ByteRange::Evaluate("bytes=100-", 100).Result, Outcome::Unsatisfiable);
    EXPECT_EQ(ByteRange::Evaluate("bytes=100-200", 100).Result, Outcome::Unsatisfiable);
    EXPECT_EQ(ByteRange::Evaluate("bytes=-0", 100).Result, Outcome::Unsatisfiable);
    EXPECT_EQ(ByteRange::Evaluate("bytes=0-", 0).Result, Outcome::Unsatisfiable);
}

TEST(ByteRange, FieldsNotTakenGiveTheWholeBody)
{
    for(std::string_view Field : {"", "bytes", "items=0-1", "bytes=5-4", "bytes=a-b", "bytes=-", "bytes=0-1,5-6", "bytes=+1-2", "bytes=1-2x",
                                  "bytes=99999999999999999999999-"})
        EXPECT_EQ(ByteRange::Evaluate(Field, 100).Result, Outcome::Whole) << Field;
}

TEST(EntityTag, IfNoneMatchComparesWeaklyOverTheList)
{
    EXPECT_TRUE(EntityTag::NoneMatchHolds("\"a\"", "\"a\""));
    EXPECT_TRUE(EntityTag::NoneMatchHolds("\"x\", W/\"a\"", "\"a\""));
    EXPECT_TRUE(EntityTag::NoneMatchHolds(" * ", "\"a\""));
    EXPECT_FALSE(EntityTag::NoneMatchHolds("\"b\"", "\"a\""));
    EXPECT_FALSE(EntityTag::NoneMatchHolds("", "\"a\""));
    EXPECT_FALSE(EntityTag::NoneMatchHolds("\"a\"", ""));
    EXPECT_FALSE(EntityTag::NoneMatchHolds("a", "\"a\""));
}

TEST(EntityTag, IfRangeComparesStrongly)
{
    EXPECT_TRUE(EntityTag::RangeHolds("", "\"a\""));
    EXPECT_TRUE(EntityTag::RangeHolds("\"a\"", "\"a\""));
    EXPECT_FALSE(EntityTag::RangeHolds("W/\"a\"", "\"a\""));
    EXPECT_FALSE(EntityTag::RangeHolds("\"b\"", "\"a\""));
    EXPECT_FALSE(EntityTag::RangeHolds("Sun, 06 Dec 2026 09:40:00 GMT", "\"a\""));
}
