// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "media/VideoFrameText.h"

using namespace Application;

TEST(VideoFrameText, TimeShowsHoursMinutesSecondsAndTheRemainderInTwoGroups)
{
    EXPECT_EQ(VideoFrameText::Time(12345678, std::nullopt), "00:00:01.234 5678");
    EXPECT_EQ(VideoFrameText::Time(0, std::nullopt), "00:00:00.000 0000");
    // Hours are not capped at two digits or at a day.
    EXPECT_EQ(VideoFrameText::Time((123LL * 3600 + 4 * 60 + 5) * 10000000 + 6, std::nullopt), "123:04:05.000 0006");
}

TEST(VideoFrameText, LiveTimeIsTheLocalWallClock)
{
    char const* const Previous = std::getenv("TZ");
    std::string const Saved = Previous ? Previous : "";
    // POSIX zone rules: no time zone database needed.
    setenv("TZ", "UTC0", 1);
    tzset();
    // 2024-01-02 03:04:05 UTC on the 1601 scale, plus 6.789 s of media time.
    std::int64_t const Base = (1704164645LL * 10000000) + 116444736000000000LL;
    EXPECT_EQ(VideoFrameText::Time(67890000, Base), "03:04:11.789");
    setenv("TZ", "IST-5:30", 1);
    tzset();
    EXPECT_EQ(VideoFrameText::Time(67890000, Base), "08:34:11.789");
    if(Previous)
        setenv("TZ", Saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(VideoFrameText, FormatDropsWholeRatesDecimalsAndAppendsTheExtraText)
{
    EXPECT_EQ(VideoFrameText::FrameNumber(4294967296LL), "4294967296");
    EXPECT_EQ(VideoFrameText::FrameNumber(-3), "-3");
    EXPECT_EQ(VideoFrameText::Format(1280, 720, 25, 1, ""), "(1280x720@25)");
    EXPECT_EQ(VideoFrameText::Format(1920, 1080, 30000, 1001, ""), "(1920x1080@29.97)");
    EXPECT_EQ(VideoFrameText::Format(960, 540, 1, 1, "extra"), "(960x540@1; extra)");
    EXPECT_EQ(VideoFrameText::Format(640, 360, 25, 2, ""), "(640x360@12.50)");
}

TEST(VideoFrameText, BreakNoticesCountDownAndThroughAndAdsSayWhichTheyAre)
{
    EXPECT_EQ(VideoFrameText::BreakNotice({2, false, 4, 10}), "AD BREAK IN 4 s");
    EXPECT_EQ(VideoFrameText::BreakNotice({2, true, 1, 10}), "AD BREAK 1/10 s");
    EXPECT_EQ(VideoFrameText::Advert(1, 3), "AD 1 of 3");
}
