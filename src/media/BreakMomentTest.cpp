// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <vector>

#include "media/BreakMoment.h"

using namespace Application;

namespace
{
constexpr std::int64_t Second = 10'000'000;
constexpr std::int64_t Millisecond = 10'000;
} // namespace

TEST(BreakMoment, PicturesCountDownFourSecondsAndThenThroughTheBreak)
{
    // Break 3 from 30 s for 10 s, break 4 from 42 s for 2.5 s: its countdown
    // begins inside break 3.
    std::vector<BreakNotice> const Notices{{3, 30 * Second, 10 * Second}, {4, 42 * Second, 2 * Second + 500 * Millisecond}};
    struct Case
    {
        std::int64_t Time;
        std::optional<BreakMoment> Expected;
    };
    Case const Cases[] = {
        {0, std::nullopt},
        {26 * Second - 1, std::nullopt},
        {26 * Second, BreakMoment{3, false, 4, 10}},
        {26 * Second + 1, BreakMoment{3, false, 4, 10}},
        {29 * Second, BreakMoment{3, false, 1, 10}},
        {30 * Second - 1, BreakMoment{3, false, 1, 10}},
        {30 * Second, BreakMoment{3, true, 1, 10}},
        {31 * Second - 1, BreakMoment{3, true, 1, 10}},
        {31 * Second, BreakMoment{3, true, 2, 10}},
        {40 * Second - 1, BreakMoment{3, true, 10, 10}},
        // After break 3, two seconds before break 4 of 2.5 s, shown as 3.
        {40 * Second, BreakMoment{4, false, 2, 3}},
        {42 * Second + 2 * Second, BreakMoment{4, true, 3, 3}},
        {44 * Second + 500 * Millisecond, std::nullopt},
    };
    for(auto const& [Time, Expected] : Cases)
        EXPECT_EQ(BreakMoment::At(Notices, Time), Expected) << Time;
    // Inside break 3 and within four seconds of break 4: the break shows.
    EXPECT_EQ(BreakMoment::At(Notices, 39 * Second), (BreakMoment{3, true, 10, 10}));
    // The order of the notices does not matter, nor do empty ones.
    std::vector<BreakNotice> const Reversed{{9, 0, 0}, Notices[1], Notices[0]};
    EXPECT_EQ(BreakMoment::At(Reversed, 39 * Second), (BreakMoment{3, true, 10, 10}));
    EXPECT_EQ(BreakMoment::At({}, 30 * Second), std::nullopt);
}
