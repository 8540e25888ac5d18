// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/FaultPlan.h"

#include "base/FailureCodes.h"
#include "base/HResultError.h"
#include "presentation/AssetRegistry.h"
#include "presentation/FaultParser.h"
#include "presentation/HlsPlaylistWriter.h"
#include "presentation/TestSupport.h"

using namespace Application;
using Application::Test::Query;
using Application::Test::RaisedStatus;

namespace
{
FaultPlan MakePlan(std::string_view Text)
{
    return FaultPlan(FaultParser::Parse(Query(Text)));
}

// The message of the failure a query raises, or "" when it parses.
std::string Refusal(std::string_view Text)
{
    try
    {
        FaultParser::Parse(Query(Text));
    }
    catch(HResultError const& Error)
    {
        EXPECT_EQ(Error.Code(), FailureCode::FaultRuleInvalid);
        return Error.Message();
    }
    return {};
}

std::vector<std::string> FiredNames(FaultPlan& Plan, FaultTrack Track, std::uint32_t Number, std::uint32_t Variant = 0)
{
    std::vector<std::string> Names;
    for(auto const& Rule : Plan.Fire(Track, Variant, Number))
        Names.push_back(Rule.Text);
    return Names;
}
} // namespace

TEST(FaultParser, ReadsEveryKindWithItsArgument)
{
    auto const Rules = FaultParser::Parse(Query("fail=404@video:5,503x2@audio:2-4&delay=800@audio:*&throttle=64000@video:%253&hang=@video:7"
                                                "&truncate=50%25@video:2,1000@any:*&corrupt=@video:4&gap=@video:3&stale=6000@playlist:*&asset=1"));
    ASSERT_EQ(Rules.size(), 10u);
    EXPECT_EQ(Rules[0].Kind, FaultKind::Fail);
    EXPECT_EQ(Rules[0].Value, 404u);
    EXPECT_EQ(Rules[0].Count, 0u);
    EXPECT_EQ(Rules[0].Text, "fail=404@video:5");
    EXPECT_EQ(Rules[1].Value, 503u);
    EXPECT_EQ(Rules[1].Count, 2u);
    EXPECT_EQ(Rules[1].Track, FaultTrack::Audio);
    EXPECT_EQ(Rules[1].Selection.Kind, FaultSelection::Form::Range);
    EXPECT_EQ(Rules[2].Kind, FaultKind::Delay);
    EXPECT_EQ(Rules[2].Value, 800u);
    EXPECT_EQ(Rules[3].Selection.Kind, FaultSelection::Form::Every);
    EXPECT_EQ(Rules[3].Selection.First, 3u);
    EXPECT_EQ(Rules[3].Text, "throttle=64000@video:%3");
    EXPECT_EQ(Rules[4].Kind, FaultKind::Hang);
    EXPECT_TRUE(Rules[5].Percent);
    EXPECT_EQ(Rules[5].Value, 50u);
    EXPECT_FALSE(Rules[6].Percent);
    EXPECT_EQ(Rules[6].Value, 1000u);
    EXPECT_EQ(Rules[6].Track, FaultTrack::Any);
    EXPECT_EQ(Rules[9].Kind, FaultKind::Stale);
    EXPECT_TRUE(FaultParser::Parse(Query("asset=1&live")).empty());
}

TEST(FaultParser, MalformedRulesAreNamedInTheRefusal)
{
    EXPECT_NE(Refusal("fail=404@vidoe:5").find("\"fail=404@vidoe:5\""), std::string::npos);
    EXPECT_NE(Refusal("fail=404@video:5,abc").find("\"fail=abc\""), std::string::npos);
    for(auto const* Text : {"fail=200@video:1", "fail=600@video:1", "fail=503x0@video:1", "fail=404@video", "fail=404video:1", "fail=@video:1",
                            "delay=-5@audio:*", "delay=600001@audio:*", "delay=1s@audio:*", "throttle=0@video:*", "hang=5@video:1",
                            "truncate=100%25@video:1", "truncate=x@video:1", "corrupt=@playlist:1", "gap=@playlist:1", "stale=6000@video:*",
                            "stale=0@playlist:*", "fail=404@video:5-3", "fail=404@video:%250", "fail=404@video:", "fail=404@video:+5",
                            "fail=404@video: 5", "fail=404@video:99999999999", "delay="})
        EXPECT_NE(Refusal(Text), "") << Text;
    std::string Many = "delay=1@video:1";
    for(int Index = 0; Index < 32; ++Index)
        Many += ",1@video:1";
    EXPECT_NE(Refusal(Many), "");
}

TEST(FaultPlan, SelectionsTracksAndCounts)
{
    auto Plan = MakePlan("fail=404@video:5&delay=10@any:2-3&throttle=100@audio:%253&fail=503x1@video:*");
    EXPECT_EQ(FiredNames(Plan, FaultTrack::Video, 5), (std::vector<std::string>{"fail=404@video:5", "fail=503x1@video:*"}));
    // Counted per segment: the retry of segment 5 only meets the uncounted rule.
    EXPECT_EQ(FiredNames(Plan, FaultTrack::Video, 5), (std::vector<std::string>{"fail=404@video:5"}));
    // Another variant's segment 5 is another segment.
    EXPECT_EQ(FiredNames(Plan, FaultTrack::Video, 5, 1), (std::vector<std::string>{"fail=404@video:5", "fail=503x1@video:*"}));
    EXPECT_EQ(FiredNames(Plan, FaultTrack::Video, 2), (std::vector<std::string>{"delay=10@any:2-3", "fail=503x1@video:*"}));
    EXPECT_EQ(FiredNames(Plan, FaultTrack::Audio, 3), (std::vector<std::string>{"delay=10@any:2-3", "throttle=100@audio:%3"}));
    EXPECT_EQ(FiredNames(Plan, FaultTrack::Audio, 0), (std::vector<std::string>{"throttle=100@audio:%3"}));
    EXPECT_TRUE(FiredNames(Plan, FaultTrack::Audio, 4).empty());
    // "any" means the media tracks, never the playlists.
    EXPECT_TRUE(FiredNames(Plan, FaultTrack::Playlist, 2).empty());
}

TEST(FaultPlan, PlaylistRequestsAreNumberedFromOne)
{
    auto Plan = MakePlan("fail=500@playlist:%255&stale=6000@playlist:2-3");
    std::vector<std::uint32_t> Failed;
    for(int Request = 0; Request < 12; ++Request)
    {
        auto const Number = Plan.NextPlaylistRequest();
        if(!Plan.Fire(FaultTrack::Playlist, 0, Number).empty())
            Failed.push_back(Number);
    }
    EXPECT_EQ(Failed, (std::vector<std::uint32_t>{5, 10}));
    EXPECT_TRUE(Plan.StaleRule(2).has_value());
    EXPECT_FALSE(Plan.StaleRule(4).has_value());
}

TEST(FaultPlan, StalePlaylistsLastTheirLifetime)
{
    auto Plan = MakePlan("stale=6000@playlist:*");
    constexpr std::int64_t Second = 10'000'000;
    EXPECT_FALSE(Plan.RepeatedPlaylist("video.m3u8?variant=0", 100 * Second, 6 * Second));
    Plan.RememberPlaylist("video.m3u8?variant=0", 100 * Second, "first");
    EXPECT_EQ(Plan.RepeatedPlaylist("video.m3u8?variant=0", 105 * Second, 6 * Second).value_or(""), "first");
    EXPECT_FALSE(Plan.RepeatedPlaylist("video.m3u8?variant=1", 105 * Second, 6 * Second));
    EXPECT_FALSE(Plan.RepeatedPlaylist("video.m3u8?variant=0", 106 * Second, 6 * Second));
    EXPECT_FALSE(Plan.RepeatedPlaylist("video.m3u8?variant=0", 99 * Second, 6 * Second));
}

TEST(FaultPlan, CountersAreBoundedAndTheLeastRecentlyUsedIsForgotten)
{
    FaultCounters Counters(3);
    FaultPlan Plan(FaultParser::Parse(Query("fail=503x1@video:*")), Counters);
    FaultPlan Other(FaultParser::Parse(Query("fail=503x1@video:*")), Counters);
    auto Fails = [](FaultPlan& Which, std::uint32_t Number) { return !Which.Fire(FaultTrack::Video, 0, Number).empty(); };
    EXPECT_TRUE(Fails(Plan, 1));
    EXPECT_TRUE(Fails(Other, 1)); // another asset's segment 1 is another counter
    EXPECT_TRUE(Fails(Plan, 2));
    EXPECT_FALSE(Fails(Plan, 1)); // the retry: segment 1 of Plan is now the most recently used
    EXPECT_TRUE(Fails(Plan, 3));  // full: Other's segment 1 is forgotten
    EXPECT_EQ(Counters.Size(), 3u);
    EXPECT_FALSE(Fails(Plan, 1));
    EXPECT_FALSE(Fails(Plan, 3));
    EXPECT_TRUE(Fails(Other, 1)); // counts from 0 again
    EXPECT_EQ(Counters.Size(), 3u);
}

TEST(FaultPlan, GapsAreMarkedInTheirTracksPlaylists)
{
    DefaultVariantSets Defaults;
    AssetRegistry Registry(Defaults);
    constexpr std::int64_t Start = Application::Test::January2024;
    auto& Asset = Registry.Create(ManifestKind::Hls, Query("gap=@video:3,@video:4-5&asset=1"), Start, Start);
    auto const Video = HlsPlaylistWriter::Video(Asset, Asset.VariantSet.VideoVariants[0], 0, Start);
    EXPECT_NE(Video.find("#EXT-X-VERSION:8\r\n"), std::string::npos);
    EXPECT_NE(Video.find("#EXT-X-GAP\r\n#EXTINF:3.000,\r\nvideo-body.mp4?asset=1&variant=0&index=3\r\n"), std::string::npos);
    EXPECT_NE(Video.find("#EXT-X-GAP\r\n#EXTINF:3.000,\r\nvideo-body.mp4?asset=1&variant=0&index=5\r\n"), std::string::npos);
    EXPECT_EQ(Video.find("#EXT-X-GAP\r\n#EXTINF:3.000,\r\nvideo-body.mp4?asset=1&variant=0&index=2\r\n"), std::string::npos);
    auto const Audio = HlsPlaylistWriter::Audio(Asset, Start);
    EXPECT_NE(Audio.find("#EXT-X-VERSION:6\r\n"), std::string::npos);
    EXPECT_EQ(Audio.find("#EXT-X-GAP"), std::string::npos);
    EXPECT_EQ(RaisedStatus([&] { Registry.Create(ManifestKind::Hls, Query("gap=@vidoe:3"), Start, Start); }), FailureCode::FaultRuleInvalid);
}
