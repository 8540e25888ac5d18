// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <vector>

#include "media/BreakMoment.h"

using namespace Application;

TEST(BreakMoment, PicturesCountDownFourSecondsAndThenThroughTheBreak)
{
    constexpr std::int64_t Second = 10'000'000;
    // Break 4 (2.5 s, shown as 3) counts down from inside break 3; listed
    // first, it still gives way to break 3.
    std::vector<BreakNotice> const Notices{{4, 42 * Second, 25 * Second / 10}, {9, 0, 0}, {3, 30 * Second, 10 * Second}};
    std::pair<std::int64_t, std::optional<BreakMoment>> const Cases[] = {
        {26 * Second - 1, std::nullopt},
        {26 * Second, BreakMoment{3, false, 4, 10}},
        {30 * Second - 1, BreakMoment{3, false, 1, 10}},
        {30 * Second, BreakMoment{3, true, 1, 10}},
        {31 * Second, BreakMoment{3, true, 2, 10}},
        {40 * Second - 1, BreakMoment{3, true, 10, 10}},
        {40 * Second, BreakMoment{4, false, 2, 3}},
        {44 * Second, BreakMoment{4, true, 3, 3}},
        {445 * Second / 10, std::nullopt},
    };
    for(auto const& [Time, Expected] : Cases)
        EXPECT_EQ(BreakMoment::At(Notices, Time), Expected) << Time;
}
