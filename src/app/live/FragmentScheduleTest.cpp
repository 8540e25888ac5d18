// SPDX-License-Identifier: GPL-2.0-or-later
// When each fragment of a live segment is due.
#include "app/live/FragmentSchedule.h"

#include <gtest/gtest.h>

#include "presentation/DefaultVariantSets.h"

using namespace Application;

namespace
{
constexpr std::int64_t Second = 10'000'000;
constexpr std::int64_t Base = 133'485'408'000'000'000; // 2024-01-01T00:00:00Z
} // namespace

TEST(FragmentSchedule, EachPictureIsDueWhenItEnds)
{
    DefaultVariantSets const Defaults;
    auto const& Video = Defaults.H264.VideoVariants.front(); // 3 s at 25/1
    auto const Schedule = FragmentSchedule::ForVideo(Video, 2, Base);
    EXPECT_EQ(Schedule.Start(), Base + 6 * Second);
    EXPECT_EQ(Schedule.End(), Base + 9 * Second);
    EXPECT_EQ(Schedule.DueTime(0), Base + 6 * Second + 400'000);
    EXPECT_EQ(Schedule.DueTime(74), Base + 9 * Second);
    EXPECT_EQ(Schedule.DueTime(500), Base + 9 * Second); // never after the end
    // A run from picture 25 on: its first picture is the segment's 26th.
    auto const Part = Schedule.From(25);
    EXPECT_EQ(Part.Start(), Base + 7 * Second);
    EXPECT_EQ(Part.DueTime(0), Schedule.DueTime(25));
    EXPECT_EQ(Part.End(), Schedule.End());

    // AAC: segment 1 of 6 s holds the 1024-sample frames that start in
    // [6 s, 12 s): from frame 282 (288000 / 1024 = 281.25) on.
    auto const& Audio = Defaults.H264.AudioVariants.front();
    auto const Sound = FragmentSchedule::ForAudio(Audio, 1, Base);
    EXPECT_EQ(Sound.Start(), Base + 6 * Second);
    EXPECT_EQ(Sound.DueTime(0), Base + 283 * 1024 * Second / 48'000);
    EXPECT_EQ(Sound.DueTime(281), Base + 12 * Second); // the last frame ends after the segment
    auto const Flac = FragmentSchedule::ForAudio(Audio.FlacAlternative(), 0, Base);
    EXPECT_EQ(Flac.DueTime(0), Base + 4096 * Second / 48'000);
}
