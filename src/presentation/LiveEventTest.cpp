// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "base/FailureCodes.h"
#include "base/MediaTime.h"
#include "presentation/AssetRegistry.h"
#include "presentation/DashManifestWriter.h"
#include "presentation/HlsPlaylistWriter.h"
#include "presentation/SegmentIndex.h"
#include "presentation/TestSupport.h"
#include "presentation/Timeline.h"

using namespace Application;
using Application::Test::Lines;
using Application::Test::Query;
using Application::Test::RaisedStatus;

namespace
{
constexpr std::int64_t Second = 10'000'000;
// The manifests' clock reading; the server's live timeline began 10 s before.
constexpr std::int64_t Start = Application::Test::January2024;

class LiveEventTest : public ::testing::Test
{
protected:
    LiveEventTest()
    {
        for(auto& Variant : m_Defaults.H264.VideoVariants)
            Variant.Codecs = "VIDEO-CODECS";
        m_Defaults.H264.AudioVariants[0].Codecs = "AUDIO-CODECS";
    }
    Configuration& Create(std::string_view Text, ManifestKind Kind = ManifestKind::Hls, std::int64_t Now = Start)
    {
        return m_Registry.Create(Kind, Query(Text), Start - 10 * Second, Now);
    }
    // The message an asset's creation is refused with, with its status.
    std::pair<HRESULT, std::string> Refusal(std::string_view Text, ManifestKind Kind = ManifestKind::Hls, std::int64_t Now = Start)
    {
        try
        {
            Create(Text, Kind, Now);
        }
        catch(HResultError const& Error)
        {
            return {Error.Code(), Error.Message()};
        }
        return {S_OK, {}};
    }
    std::string Manifest(std::string_view Text, std::int64_t PublishTime, bool TrickPlay = false)
    {
        DashManifestWriter Writer(Create(Text, ManifestKind::Dash), TrickPlay, false);
        Writer.SetDynamic(PublishTime, "http://example.net:8080/hls/time");
        return Writer.Write();
    }
    static std::vector<std::uint32_t> Indexes(SegmentList const& List)
    {
        std::vector<std::uint32_t> Result;
        for(auto const& Segment : List.Segments)
            Result.push_back(Segment.Index);
        return Result;
    }
    static std::vector<std::uint32_t> Range(std::uint32_t First, std::uint32_t End)
    {
        std::vector<std::uint32_t> Result;
        for(auto Index = First; Index < End; ++Index)
            Result.push_back(Index);
        return Result;
    }
    static bool Holds(std::string const& Text, std::string_view Part) { return Text.find(Part) != std::string::npos; }

    DefaultVariantSets m_Defaults;
    AssetRegistry m_Registry{m_Defaults};
};
} // namespace

TEST_F(LiveEventTest, TimesAreUtcOrSecondsFromTheManifestsClockReading)
{
    auto const& Relative = Create("live&start=30&stop=90.5");
    EXPECT_EQ(Relative.BaseLiveTime, Start + 30 * Second);
    EXPECT_EQ(Relative.EventEnd, 605'000'000);
    auto const& Utc = Create("live&start=2023-12-31T23:59:00Z&stop=2024-01-01T00:00:00.25Z");
    EXPECT_EQ(Utc.BaseLiveTime, Start - 60 * Second);
    EXPECT_EQ(Utc.EventEnd, 602'500'000);
    // Alone, "stop" ends the timeline the asset has anyway, and "start" begins one without end.
    auto const& Stopping = Create("live&stop=-5");
    EXPECT_EQ(Stopping.BaseLiveTime, Start - 10 * Second);
    EXPECT_EQ(Stopping.EventEnd, 50'000'000);
    auto const& Starting = Create("live&start=-86400");
    EXPECT_EQ(Starting.BaseLiveTime, Start - 86'400 * Second);
    EXPECT_FALSE(Starting.EventEnd.has_value());
    EXPECT_EQ(Create("live&start=0.0000001").BaseLiveTime, Start + 1);
}

TEST_F(LiveEventTest, RefusedWhereTheyCannotApply)
{
    constexpr HRESULT Invalid = FailureCode::EventInvalid;
    constexpr auto Dash = ManifestKind::Dash;
    struct Row
    {
        std::string_view Query;
        ManifestKind Kind;
        std::string_view Message;
    };
    std::vector<Row> const Rows{
        {"start=30", ManifestKind::Hls, R"("start" and "stop" make a live event: give them with "live")"},
        {"live&start=30&ls=20", ManifestKind::Hls, R"("start" and "ls" each say where the live timeline begins: give one of them)"},
        {"live&stop=30&duration=60", ManifestKind::Hls, R"("stop" and "duration" each end the live presentation: give one of them)"},
        {"live&start=30&stop=30", ManifestKind::Hls, R"(Invalid "stop" "30": the event must end after it begins, 2024-01-01T00:00:30.000Z)"},
        {"live&stop=-10", ManifestKind::Hls, R"(Invalid "stop" "-10": the event must end after it begins, 2023-12-31T23:59:50.000Z)"},
        {"live&start=86400.0000001", ManifestKind::Hls, R"(Invalid "start" "86400.0000001": live only: a live event begins then)"},
        {"live&stop=2024-01-02T00:00:00.1Z", ManifestKind::Hls, R"(Invalid "stop" "2024-01-02T00:00:00.1Z": live only:)"},
        {"live&start=1e3", ManifestKind::Hls, R"(Invalid "start" "1e3")"},
        {"live&start=%2B3", ManifestKind::Hls, R"(Invalid "start" "+3")"},
        {"live&start=5.", ManifestKind::Hls, R"(Invalid "start" "5.")"},
        {"live&start=.5", ManifestKind::Hls, R"(Invalid "start" ".5")"},
        {"live&start=", ManifestKind::Hls, R"(Invalid "start" "")"},
        {"live&start=1.12345678", ManifestKind::Hls, R"(Invalid "start" "1.12345678")"},
        {"live&start=2024-01-01T01:00:00%2B01:00", ManifestKind::Hls, R"(Invalid "start" "2024-01-01T01:00:00+01:00")"},
        {"live&start=30", Dash, R"(A live event ("start", "stop") is described by the dynamic DASH manifest: give it with "dynamic" or "ll")"},
        {"live&ll&stop=60&disc=12", Dash, R"(lists one period: changes mid-stream and ads, which make periods, are in its HLS playlists)"},
        {"live&ll&start=0&breaks=18:12&ads=1", Dash, "lists one period"},
    };
    for(auto const& Row : Rows)
    {
        auto const [Code, Message] = Refusal(Row.Query, Row.Kind);
        EXPECT_EQ(Code, Invalid) << Row.Query;
        EXPECT_NE(Message.find(Row.Message), std::string::npos) << Row.Query << ": " << Message;
    }
    EXPECT_EQ(Refusal("live&start=-60", ManifestKind::Hls, UnixEpochAbsoluteTime + 30 * Second).second,
              R"(Invalid "start" "-60": the event would begin before 1970-01-01)");
    // What the design's static document ignores, and HLS takes.
    EXPECT_EQ(Refusal("live&dynamic&start=30&stop=60", Dash).first, S_OK);
    EXPECT_EQ(Refusal("live&ll&start=30&stop=60&disc=12").first, S_OK);
}

TEST_F(LiveEventTest, ListsWaitForTheStartGrowAndEndAtTheStop)
{
    // 30 s from 30 s after the clock reading, within a 60 s window.
    auto const& Event = Create("live&start=30&stop=60&lv=60");
    auto const& Video = Event.VariantSet.VideoVariants[0];
    auto const Before = Timeline(Event, Start + 20 * Second).VideoSegments(Video, 0);
    EXPECT_TRUE(Before.Segments.empty());
    EXPECT_EQ(Before.MediaSequence, 0u);
    EXPECT_FALSE(Before.EndList);
    EXPECT_TRUE(Before.Event);
    auto const During = Timeline(Event, Start + 45 * Second).VideoSegments(Video, 0);
    EXPECT_EQ(Indexes(During), Range(0, 5));
    EXPECT_FALSE(During.EndList);
    for(auto const After : {60 * Second, 3600 * Second})
    {
        auto const Ended = Timeline(Event, Start + After).VideoSegments(Video, 0);
        EXPECT_EQ(Indexes(Ended), Range(0, 10));
        EXPECT_TRUE(Ended.EndList && Ended.Event);
        auto const Audio = Timeline(Event, Start + After).AudioSegments();
        EXPECT_EQ(Indexes(Audio), Range(0, 5));
        EXPECT_TRUE(Audio.EndList && Audio.Event);
    }
    // Longer than its window: the window slides, then stays on the last
    // segments, and the list is not an event's that only grows.
    auto const& Long = Create("live&start=0&stop=60&lv=15");
    auto const Sliding = Timeline(Long, Start + 30 * Second).VideoSegments(Video, 0);
    EXPECT_EQ(Indexes(Sliding), Range(5, 10));
    EXPECT_FALSE(Sliding.Event);
    auto const Stayed = Timeline(Long, Start + 3600 * Second).VideoSegments(Video, 0);
    EXPECT_EQ(Indexes(Stayed), Range(15, 20));
    EXPECT_TRUE(Stayed.EndList);
    // An end between segments: each track holds the segments that begin
    // before it, and ends once the last of them is complete.
    auto const& Odd = Create("live&start=0&stop=31&lv=60");
    EXPECT_FALSE(Timeline(Odd, Start + 32 * Second).VideoSegments(Video, 0).EndList);
    auto const OddEnd = Timeline(Odd, Start + 33 * Second).VideoSegments(Video, 0);
    EXPECT_EQ(Indexes(OddEnd), Range(0, 11));
    EXPECT_TRUE(OddEnd.EndList);
    EXPECT_FALSE(Timeline(Odd, Start + 35 * Second).AudioSegments().EndList);
    EXPECT_EQ(Indexes(Timeline(Odd, Start + 36 * Second).AudioSegments()), Range(0, 6));
}

TEST_F(LiveEventTest, SegmentsPastTheEventAreNotItsOwn)
{
    auto const& Odd = Create("live&start=0&stop=31");
    auto const Index = [&](char const* Text, SegmentTrack Track) { return SegmentIndexFromQuery(Query(Text), Odd, Track); };
    EXPECT_EQ(Index("index=10", SegmentTrack::Video), 10u);
    EXPECT_EQ(Index("index=5", SegmentTrack::Audio), 5u);
    EXPECT_EQ(Index("extra-video-segments=2&index=12", SegmentTrack::Video), 12u);
    for(auto const& [Text, Track] : std::vector<std::pair<char const*, SegmentTrack>>{
            {"index=11", SegmentTrack::Video}, {"index=6", SegmentTrack::Audio}, {"time=330000000", SegmentTrack::Video}})
        EXPECT_EQ(RaisedStatus([&] { Index(Text, Track); }), FailureCode::SegmentOutsideAsset) << Text;
}

TEST_F(LiveEventTest, HlsPlaylists)
{
    // Before the start an empty event playlist, its map already there (Shaka
    // reads a media playlist without a segment tag as no playlist at all).
    auto const& Event = Create("live&start=10&stop=16&lv=60");
    EXPECT_EQ(HlsPlaylistWriter::Video(Event, Event.VariantSet.VideoVariants[0], 0, Start + 5 * Second),
              Lines({"#EXTM3U", "#EXT-X-VERSION:6", "#EXT-X-PLAYLIST-TYPE:EVENT", "#EXT-X-TARGETDURATION:3.000", "#EXT-X-MEDIA-SEQUENCE:0",
                     "#EXT-X-MAP:URI=\"video-header.mp4?asset=1&variant=0\""}));
    // A window shorter than the event: no type.
    auto const& Long = Create("live&start=10&stop=40&lv=6");
    EXPECT_EQ(HlsPlaylistWriter::Audio(Long, Long.VariantSet.AudioVariants.front(), Start + 99 * Second),
              Lines({"#EXTM3U", "#EXT-X-VERSION:6", "#EXT-X-TARGETDURATION:6.000", "#EXT-X-MEDIA-SEQUENCE:4", "#EXT-X-MAP:URI=\"audio-header.mp4?asset=2\"",
                     "#EXTINF:6.000,", "audio-body.mp4?asset=2&index=4", "#EXT-X-ENDLIST"}));
    // Low latency: once ended, no part is hinted and the other renditions
    // report their last segment, not the clock's.
    auto const& Fast = Create("live&ll&start=0&stop=6");
    auto const Text = HlsPlaylistWriter::Video(Fast, Fast.VariantSet.VideoVariants[0], 0, Start + 60 * Second);
    EXPECT_FALSE(Holds(Text, "#EXT-X-PRELOAD-HINT"));
    EXPECT_TRUE(Holds(Text, "#EXT-X-RENDITION-REPORT:URI=\"video.m3u8?asset=3&variant=1\",LAST-MSN=1,LAST-PART=2\r\n"));
    EXPECT_TRUE(Holds(Text, "#EXT-X-RENDITION-REPORT:URI=\"audio.m3u8?asset=3\",LAST-MSN=0,LAST-PART=12\r\n"));
    EXPECT_TRUE(Text.ends_with("#EXT-X-ENDLIST\r\n"));
}

TEST_F(LiveEventTest, DashDocumentWaitsForTheStartAndTurnsStaticOnceComplete)
{
    // Dynamic from the event's start, saying how long it lasts.
    auto const Waiting = Manifest("live&dynamic&start=30&stop=60", Start);
    EXPECT_TRUE(Holds(Waiting, " type=\"dynamic\" mediaPresentationDuration=\"PT30.00S\" availabilityStartTime=\"2024-01-01T00:00:30.000Z\""));
    // Ended, 20 s window: the last 18 s, from 12 s where video (3 s) and
    // audio (6 s) segments both begin, as an on-demand document.
    EXPECT_EQ(Manifest("live&dynamic&start=0&stop=30&lv=20", Start + 40 * Second, true), Application::Test::ExpectedDocument("live-event-ended.mpd"));
    auto const Timeline = Manifest("live&dynamic&segtimeline&start=0&stop=30&lv=20", Start + 40 * Second);
    EXPECT_TRUE(Holds(Timeline, "<SegmentTemplate timescale=\"10000000\" startNumber=\"5\" presentationTimeOffset=\"120000000\" initialization="));
    EXPECT_TRUE(Holds(Timeline, "<SegmentTimeline><S t=\"120000000\" d=\"30000000\" r=\"5\"/></SegmentTimeline>"));
    EXPECT_TRUE(Holds(Timeline, "<SegmentTimeline><S t=\"120000000\" d=\"60000000\" r=\"2\"/></SegmentTimeline>"));
    // The low-latency document the same, without what only live players read.
    auto const Fast = Manifest("live&ll&start=0&stop=30", Start + 30 * Second);
    EXPECT_TRUE(Holds(Fast, " type=\"static\" mediaPresentationDuration=\"PT30.00S\""));
    for(auto const* Live : {"availabilityTimeOffset", "ServiceDescription", "UTCTiming", "presentationTimeOffset"})
        EXPECT_FALSE(Holds(Fast, Live)) << Live;
    // An end between segments: static once the last audio segment (30 s to 36 s) is complete.
    EXPECT_TRUE(Holds(Manifest("live&dynamic&start=0&stop=31&lv=60", Start + 35 * Second), " type=\"dynamic\""));
    EXPECT_TRUE(Holds(Manifest("live&dynamic&start=0&stop=31&lv=60", Start + 36 * Second), " type=\"static\" mediaPresentationDuration=\"PT31.00S\""));
}
