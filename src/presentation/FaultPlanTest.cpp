// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/FaultPlan.h"

#include <tuple>

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
    auto const [Status, Message] = Application::Test::Raised([&] { FaultParser::Parse(Query(Text)); });
    EXPECT_TRUE(Status == S_OK || Status == FailureCode::FaultRuleInvalid) << Message;
    return Message;
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
    using enum FaultKind;
    using enum FaultTrack;
    using Form = FaultSelection::Form;
    struct Expected
    {
        FaultKind Kind;
        std::uint32_t Value, Count;
        bool Percent;
        FaultTrack Track;
        Form Selection;
        std::uint32_t First, Last;
        char const* Text;
    };
    Expected const Table[] = {
        {Fail, 404, 0, false, Video, Form::Index, 5, 0, "fail=404@video:5"},
        {Fail, 503, 2, false, Audio, Form::Range, 2, 4, "fail=503x2@audio:2-4"},
        {Delay, 800, 0, false, Audio, Form::All, 0, 0, "delay=800@audio:*"},
        {Throttle, 64000, 0, false, Video, Form::Every, 3, 0, "throttle=64000@video:%3"},
        {Hang, 0, 0, false, Video, Form::Index, 7, 0, "hang=@video:7"},
        {Truncate, 50, 0, true, Video, Form::Index, 2, 0, "truncate=50%@video:2"},
        {Truncate, 1000, 0, false, Any, Form::All, 0, 0, "truncate=1000@any:*"},
        {Corrupt, 0, 0, false, Video, Form::Index, 4, 0, "corrupt=@video:4"},
        {Gap, 0, 0, false, Video, Form::Index, 3, 0, "gap=@video:3"},
        {Stale, 6000, 0, false, Playlist, Form::All, 0, 0, "stale=6000@playlist:*"},
    };
    ASSERT_EQ(Rules.size(), std::size(Table));
    for(std::size_t Index = 0; Index < Rules.size(); ++Index)
    {
        auto const& Rule = Rules[Index];
        auto const& Row = Table[Index];
        EXPECT_EQ(Rule.Text, Row.Text);
        EXPECT_EQ(std::tie(Rule.Kind, Rule.Value, Rule.Count, Rule.Percent, Rule.Track, Rule.Selection.Kind, Rule.Selection.First, Rule.Selection.Last),
                  std::tie(Row.Kind, Row.Value, Row.Count, Row.Percent, Row.Track, Row.Selection, Row.First, Row.Last))
            << Row.Text;
    }
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
    auto const Audio = HlsPlaylistWriter::Audio(Asset, Asset.VariantSet.AudioVariants.front(), Start);
    EXPECT_NE(Audio.find("#EXT-X-VERSION:6\r\n"), std::string::npos);
    EXPECT_EQ(Audio.find("#EXT-X-GAP"), std::string::npos);
    EXPECT_EQ(RaisedStatus([&] { Registry.Create(ManifestKind::Hls, Query("gap=@vidoe:3"), Start, Start); }), FailureCode::FaultRuleInvalid);
}
