// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AssetRegistry.h"
#include "presentation/DashPeriod.h"
#include "presentation/SegmentIndex.h"
#include "presentation/Timeline.h"

#include "base/FailureCodes.h"
#include "presentation/TestSupport.h"

using namespace Application;
using Application::Test::Query;
using Application::Test::RaisedStatus;

namespace
{
constexpr std::int64_t Second = 10'000'000;
constexpr std::int64_t Start = Application::Test::January2024;

// An asset made as the server makes it: base live time 10 s before start.
class TimelineTest : public ::testing::Test
{
protected:
    Configuration& Create(std::string_view Text, std::int64_t Now = Start)
    {
        return m_Registry.Create(ManifestKind::Hls, Query(Text), Start - 10 * Second, Now);
    }
    static std::vector<std::uint32_t> Indexes(SegmentList const& List)
    {
        std::vector<std::uint32_t> Result;
        for(auto const& Segment : List.Segments)
            Result.push_back(Segment.Index);
        return Result;
    }
    static std::vector<std::int64_t> Durations(SegmentList const& List)
    {
        std::vector<std::int64_t> Result;
        for(auto const& Segment : List.Segments)
            Result.push_back(Segment.Duration);
        return Result;
    }
    VideoVariant const& Video(Configuration const& Asset) { return Asset.VariantSet.VideoVariants.at(0); }

    DefaultVariantSets m_Defaults;
    AssetRegistry m_Registry{m_Defaults};
};
} // namespace

TEST_F(TimelineTest, OnDemandCountsAndDurations)
{
    // The default presentation and FLAC's segments are HlsPlaylistWriterTest's whole playlists.
    auto const& Twenty = Create("duration=20");
    EXPECT_EQ(Durations(Timeline(Twenty, Start).AudioSegments()), (std::vector<std::int64_t>{6 * Second, 6 * Second, 6 * Second, 2 * Second}));
    EXPECT_EQ(Timeline(Twenty, Start).VideoSegments(Video(Twenty), 0).Segments.size(), 6u);
    auto const& Default = Create("");
    Timeline const DefaultTimeline(Default, Start);
    EXPECT_EQ(DefaultTimeline.VideoSegments(Video(Default), 2).Segments.size(), 8u);
    EXPECT_TRUE(DefaultTimeline.VideoSegments(Video(Default), -10).Segments.empty());
    EXPECT_EQ(RaisedStatus([&] { DefaultTimeline.VideoSegments(Video(Default), 2147483647); }), E_INVALIDARG);
}

TEST_F(TimelineTest, LiveWindowSlidesWithTheClock)
{
    auto const& Asset = Create("live");
    Timeline const Later(Asset, Start + 55 * Second); // 65 s after the base live time
    EXPECT_EQ(Later.Elapsed(), 65 * Second);
    auto const VideoList = Later.VideoSegments(Video(Asset), 0);
    EXPECT_EQ(VideoList.MediaSequence, 11u);
    EXPECT_EQ(Indexes(VideoList), (std::vector<std::uint32_t>{11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
    EXPECT_FALSE(VideoList.EndList);
    auto const Audio = Later.AudioSegments();
    EXPECT_EQ(Audio.MediaSequence, 5u);
    EXPECT_EQ(Indexes(Audio), (std::vector<std::uint32_t>{5, 6, 7, 8, 9}));

    Timeline const JustStarted(Asset, Start);
    EXPECT_EQ(Indexes(JustStarted.VideoSegments(Video(Asset), 0)), (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(Indexes(JustStarted.AudioSegments()), (std::vector<std::uint32_t>{0}));

    // A base live time in the future lists nothing and, without an end, never ends.
    auto const& Future = Create("live&ls=-100");
    auto const Nothing = Timeline(Future, Start).VideoSegments(Video(Future), 0);
    EXPECT_TRUE(Nothing.Segments.empty());
    EXPECT_EQ(Nothing.MediaSequence, 0u);
    EXPECT_FALSE(Nothing.EndList);
}

TEST_F(TimelineTest, LiveWindowLengths)
{
    auto const& Empty = Create("live&lv=0");
    auto const None = Timeline(Empty, Start + 55 * Second).VideoSegments(Video(Empty), 0);
    EXPECT_TRUE(None.Segments.empty());
    EXPECT_EQ(None.MediaSequence, 21u);
    auto const& Short = Create("live&lv=0.5");
    EXPECT_EQ(Indexes(Timeline(Short, Start + 55 * Second).VideoSegments(Video(Short), 0)), (std::vector<std::uint32_t>{20}));
}

TEST_F(TimelineTest, LiveEndPointIsSetByTheMasterPlaylistAndTheWindowKeepsSliding)
{
    auto& Asset = Create("live&duration=30", Start + 5 * Second);
    EXPECT_FALSE(Asset.LiveEndTime.has_value());
    Timeline::SetLiveEndTime(Asset, Start + 5 * Second);
    EXPECT_EQ(Asset.LiveEndTime, 45 * Second); // elapsed 15 s plus 30 s
    EXPECT_FALSE(Timeline(Asset, Start + 34 * Second).VideoSegments(Video(Asset), 0).EndList); // N = 14 < 15
    auto const AtEnd = Timeline(Asset, Start + 35 * Second).VideoSegments(Video(Asset), 0);
    EXPECT_TRUE(AtEnd.EndList);
    EXPECT_EQ(AtEnd.Segments.back().Index, 14u);
    auto const Past = Timeline(Asset, Start + 95 * Second).VideoSegments(Video(Asset), 0);
    EXPECT_TRUE(Past.EndList);
    EXPECT_EQ(Past.Segments.back().Index, 34u);
    // Extra video segments move the video end point; audio rounds its end up.
    EXPECT_FALSE(Timeline(Asset, Start + 35 * Second).VideoSegments(Video(Asset), 1).EndList);
    EXPECT_FALSE(Timeline(Asset, Start + 35 * Second).AudioSegments().EndList); // N = 7 < 8
    EXPECT_TRUE(Timeline(Asset, Start + 38 * Second).AudioSegments().EndList);

    auto& OnDemand = Create("duration=30");
    Timeline::SetLiveEndTime(OnDemand, Start);
    EXPECT_FALSE(OnDemand.LiveEndTime.has_value());
}

TEST_F(TimelineTest, ProgramDateTimeTagsFollowThePeriod)
{
    auto Tagged = [&](std::string_view Text) {
        auto const& Asset = Create(Text);
        std::vector<std::uint32_t> Result;
        for(auto const& Segment : Timeline(Asset, Start + 20 * Second).VideoSegments(Video(Asset), 0).Segments)
            if(!Segment.ProgramDateTime.empty())
                Result.push_back(Segment.Index);
        return Result;
    };
    EXPECT_EQ(Tagged("live&pdt=6"), (std::vector<std::uint32_t>{0, 2, 4, 6, 8}));
    EXPECT_EQ(Tagged("live&pdt=2"), (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Tagged("live&pdt=0"), (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Tagged("live&pdt=9&lv=12"), (std::vector<std::uint32_t>{6, 9}));
    EXPECT_TRUE(Tagged("live").empty());

    auto const& Asset = Create("live&pdt=6");
    EXPECT_EQ(Timeline(Asset, Start + 20 * Second).VideoSegments(Video(Asset), 0).Segments.at(2).ProgramDateTime, "2023-12-31T23:59:56.000Z");
    EXPECT_EQ(Timeline::FormatProgramDateTime(Start + 12'345'678), "2024-01-01T00:00:01.234Z");
    EXPECT_EQ(Timeline::FormatProgramDateTime(0), "1601-01-01T00:00:00.000Z");
}

TEST_F(TimelineTest, SegmentNumbersAreStrictDecimalAndWithinTheAsset)
{
    constexpr HRESULT Malformed = FailureCode::SegmentNumberMalformed;
    constexpr HRESULT Outside = FailureCode::SegmentOutsideAsset;
    auto& Ending = Create("live&duration=30");
    struct Row
    {
        Configuration const* Asset;
        SegmentTrack Track;
        char const* Query;
        std::int64_t Expected; // the segment, or the failure code
    };
    auto const& OnDemand = Create("duration=180"); // 60 video and 30 audio segments
    // 18 s by default: 6 video and 3 audio segments listed, yet the DASH
    // periods ask for 0 to 6 (video) and 0 to 3 (audio), whatever the duration.
    auto const& Default = Create("");
    auto const& Short = Create("duration=1");
    auto const& Live = Create("live");
    constexpr auto Video = SegmentTrack::Video;
    constexpr auto Audio = SegmentTrack::Audio;
    std::vector<Row> const Rows{
        {&OnDemand, Video, "index=0", 0},
        {&OnDemand, Video, "index=59", 59},
        {&OnDemand, Video, "index=60", Outside},
        {&OnDemand, Audio, "index=29", 29},
        {&OnDemand, Audio, "index=30", Outside},
        {&OnDemand, Video, "index=007", 7},
        {&OnDemand, Video, "index=1&baseIndex=-1", 2},
        {&OnDemand, Video, "index=3&baseIndex=1", 2},
        {&OnDemand, Video, "index=0&baseIndex=1", Outside},
        {&OnDemand, Video, "index=0&baseIndex=-2147483648", Outside},
        {&OnDemand, Video, "index=4294967295", Outside},
        {&OnDemand, Video, "index=-1", Malformed},
        {&OnDemand, Video, "index=+1", Malformed},
        {&OnDemand, Video, "index=1e3", Malformed},
        {&OnDemand, Video, "index=%201", Malformed},
        {&OnDemand, Video, "index=", Malformed},
        {&OnDemand, Video, "index=4294967296", Malformed},
        {&OnDemand, Audio, "index=99999999999999999999", Malformed},
        {&OnDemand, Video, "index=1&baseIndex=%2B1", Malformed},
        {&OnDemand, Video, "index=1&baseIndex=-", Malformed},
        {&OnDemand, Video, "index=1&baseIndex=2147483648", Malformed},
        // The URLs of a playlist with extra video segments say so.
        {&OnDemand, Video, "extra-video-segments=2&index=61", 61},
        {&OnDemand, Video, "extra-video-segments=2&index=62", Outside},
        {&OnDemand, Video, "extra-video-segments=-2&index=1", Malformed},
        {&Default, Video, "index=6", 6},
        {&Default, Video, "index=7", Outside},
        {&Default, Audio, "extra-video-segments=9&index=4", Outside},
        {&Short, Video, "index=6", 6},
        {&Short, Video, "index=7", Outside},
        {&Short, Audio, "index=3", 3},
        {&Short, Audio, "index=4", Outside},
        // Live: as far as 32-bit segment numbers reach, and the number after
        // it too; with an end too, as the window keeps sliding past it.
        {&Live, Video, "index=4294967294", 4294967294},
        {&Live, Audio, "index=4294967295", Outside},
        {&Live, Audio, "index=4294967294&baseIndex=-1", Outside},
        // A timeline's start times: a multiple of the track's segment
        // duration (3 s video, 6 s audio), and one form of address at a time.
        {&Live, Video, "time=630000000", 21},
        {&Live, Audio, "time=600000000", 10},
        {&Live, Audio, "time=630000000", Malformed},
        {&Live, Video, "time=0&index=0", Malformed},
        {&Live, Video, "time=-30000000", Malformed},
        {&Ending, Video, "index=13", 13},
        {&Ending, Audio, "index=4294967295", Outside},
    };
    Timeline::SetLiveEndTime(Ending, Start);
    for(auto const& Row : Rows)
    {
        auto const Parsed = Query(Row.Query);
        if(Row.Expected >= 0)
            EXPECT_EQ(SegmentIndexFromQuery(Parsed, *Row.Asset, Row.Track), static_cast<std::uint32_t>(Row.Expected)) << Row.Query;
        else
            EXPECT_EQ(RaisedStatus([&] { SegmentIndexFromQuery(Parsed, *Row.Asset, Row.Track); }), static_cast<HRESULT>(Row.Expected)) << Row.Query;
    }
    EXPECT_EQ(SegmentIndexFromQuery(Query("baseIndex=1"), OnDemand, Video), std::nullopt);

    EXPECT_EQ(PartNumberFromQuery(Query("part=3")), 3);
    EXPECT_EQ(PartNumberFromQuery(Query("index=3")), -1);
    EXPECT_EQ(PeriodNumberFromQuery(Query("period=2")), 2u);
    EXPECT_EQ(PeriodNumberFromQuery(Query("index=3")), 0u);
    for(auto const* Text : {"part=-1", "part=%2B1", "part=1e1", "part=2147483648", "part="})
        EXPECT_EQ(RaisedStatus([&] { PartNumberFromQuery(Query(Text)); }), FailureCode::PartInvalid) << Text;
    for(auto const* Text : {"period=3", "period=-1", "period=1x", "period="})
        EXPECT_EQ(RaisedStatus([&] { PeriodNumberFromQuery(Query(Text)); }), FailureCode::PeriodInvalid) << Text;
}

TEST(DashPeriod, SegmentRangesOfTheThreePeriods)
{
    struct Expected
    {
        std::int64_t First, Last;
        std::uint32_t Repeat;
        std::int32_t BaseIndex;
    };
    auto Check = [](std::int64_t SegmentDuration, std::vector<Expected> const& Rows) {
        for(std::uint32_t Index = 0; Index < DashPeriods.size(); ++Index)
        {
            auto const Range = DashPeriods[Index].Segments(Index, SegmentDuration);
            EXPECT_EQ(Range.First, Rows[Index].First);
            EXPECT_EQ(Range.Last, Rows[Index].Last);
            EXPECT_EQ(Range.RepeatCount, Rows[Index].Repeat);
            EXPECT_EQ(Range.BaseIndex, Rows[Index].BaseIndex);
        }
    };
    Check(30'000'000, {{0, 2, 2, 1}, {2, 4, 2, -1}, {4, 6, 2, -3}});
    Check(60'000'000, {{0, 1, 1, 1}, {1, 2, 1, 0}, {2, 3, 1, -1}});
}
