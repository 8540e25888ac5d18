// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "base/HResultError.h"
#include "base/MulDiv.h"
#include "media/AudioSampleGrid.h"
#include "media/VideoFrameGrid.h"

using namespace Application;

TEST(MulDiv, RoundsAsNamedOnBothSidesOfZero)
{
    EXPECT_EQ(MulDivFloor(7, 1, 2), 3);
    EXPECT_EQ(MulDivFloor(-7, 1, 2), -4);
    EXPECT_EQ(MulDivCeiling(7, 1, 2), 4);
    EXPECT_EQ(MulDivCeiling(-7, 1, 2), -3);
    EXPECT_EQ(MulDivRound(5, 1, 2), 3);
    EXPECT_EQ(MulDivRound(-5, 1, 2), -3);
    // A product beyond 64 bits: a sample index of a long live presentation.
    EXPECT_EQ(MulDivFloor(std::int64_t{1} << 50, TimeUnitsPerSecond, 48000), (std::int64_t{1} << 50) / 48000 * TimeUnitsPerSecond + ((std::int64_t{1} << 50) % 48000) * TimeUnitsPerSecond / 48000);
}

TEST(VideoFrameGrid, FramesSitOnTheGridWhereverARunStarts)
{
    VideoFrameGrid const Grid(25, 1);
    EXPECT_EQ(Grid.StartIndex(60000000), 150);
    EXPECT_EQ(Grid.FrameTime(150), 60000000);
    EXPECT_EQ(Grid.FrameTime(224), 89600000);
    // Frame 225 is the first at or past a 9 s end.
    EXPECT_GE(Grid.FrameTime(225), 90000000);
    EXPECT_EQ(Grid.FrameCount(30000000), 75);
    // A start between frames takes the nearest frame.
    EXPECT_EQ(Grid.StartIndex(60000000 + 190000), 150);
    EXPECT_EQ(Grid.StartIndex(60000000 + 210000), 151);

    VideoFrameGrid const Ntsc(30000, 1001);
    for(std::int64_t Index = 0; Index < 3000; ++Index)
    {
        std::int64_t const Duration = Ntsc.FrameDuration(Index);
        ASSERT_TRUE(Duration == 333666 || Duration == 333667) << Index;
        ASSERT_EQ(Ntsc.FrameTime(Index), Index * 1001 * TimeUnitsPerSecond / 30000);
    }
    // The frame shown at a time began at or before it, even where the
    // nearest one is later, and at a frame's own (rounded down) time it is that frame.
    EXPECT_EQ(Ntsc.FrameAt(20000000), 59);
    EXPECT_EQ(Ntsc.StartIndex(20000000), 60);
    for(std::int64_t Index = 0; Index < 3000; ++Index)
        ASSERT_EQ(Ntsc.FrameAt(Ntsc.FrameTime(Index)), Index) << Index;
    // Trick play: one frame a second, three in a 3 s segment.
    EXPECT_EQ(VideoFrameGrid(1, 1).FrameCount(30000000), 3);
    EXPECT_THROW(VideoFrameGrid(25, 0), HResultError);
}

TEST(AudioSampleGrid, IndicesAndTimesConvertBothWays)
{
    AudioSampleGrid const Grid(48000);
    EXPECT_EQ(Grid.SampleIndex(60000000, true), 288000);
    EXPECT_EQ(Grid.SampleTime(288000), 60000000);
    EXPECT_EQ(Grid.SampleIndex(64000000, true), 307200);
    // Between sample instants: down, or up to the next sample.
    EXPECT_EQ(Grid.SampleIndex(60000001, false), 288000);
    EXPECT_EQ(Grid.SampleIndex(60000001, true), 288001);
    // Sample 1 sits at 208 (208.33 rounded down); 208 is that sample.
    EXPECT_EQ(Grid.SampleTime(1), 208);
    EXPECT_EQ(Grid.SampleIndex(208, true), 1);
    // Past 2^32 samples (24.8 hours) nothing wraps.
    std::int64_t const Day = 86400 * TimeUnitsPerSecond;
    EXPECT_EQ(Grid.SampleIndex(30 * Day, true), 30LL * 86400 * 48000);
    EXPECT_EQ(Grid.SampleTime(30LL * 86400 * 48000), 30 * Day);
}
