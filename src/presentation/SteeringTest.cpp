// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AssetRegistry.h"
#include "presentation/DashManifestWriter.h"
#include "presentation/FaultParser.h"
#include "presentation/HlsPlaylistWriter.h"
#include "presentation/SteeringManifest.h"

#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/TestSupport.h"

using namespace Application;
using Application::Test::Lines;
using Application::Test::Query;
using Application::Test::RaisedStatus;

namespace
{
constexpr std::int64_t Second = 10'000'000;
constexpr std::int64_t Start = Application::Test::January2024;
// The assets' clock begins 10 s before Start.
constexpr std::int64_t Origin = Start - 10 * Second;

class SteeringTest : public ::testing::Test
{
protected:
    SteeringTest()
    {
        m_Defaults.H264.VideoVariants.pop_back();
        m_Defaults.H264.VideoVariants[0].Codecs = "VIDEO-CODECS";
        m_Defaults.H264.AudioVariants[0].Codecs = "AUDIO-CODECS";
    }
    Configuration& Create(std::string_view Text, ManifestKind Kind = ManifestKind::Hls) { return m_Registry.Create(Kind, Query(Text), Origin, Start); }
    std::string Manifest(Configuration& Asset, std::int64_t Now, std::optional<std::string_view> Prefer = std::nullopt)
    {
        if(Prefer)
            Asset.Steering->Prefer(*Prefer);
        return SteeringManifest::Write(Asset, Now, Prefer, "http://example.net:8080/hls/steering");
    }

    DefaultVariantSets m_Defaults;
    AssetRegistry m_Registry{m_Defaults};
};

bool Holds(std::string const& Text, std::string const& Part)
{
    return Text.find(Part) != std::string::npos;
}
} // namespace

// Every variant and rendition once per pathway, with rendition groups of its
// own; the captions, in the pictures, are one group for all.
TEST_F(SteeringTest, TheMasterPlaylistListsEachPathway)
{
    std::string const Audio = "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"audio-%s\",LANGUAGE=\"en\",NAME=\"English\",AUTOSELECT=YES,DEFAULT=YES,CHANNELS=\"2\","
                              "BANDWIDTH=128000,CODECS=\"AUDIO-CODECS\",URI=\"audio.m3u8?asset=1&pathway=%s\"";
    auto const Pathway = [&](char const* Name) {
        return std::vector<std::string>{
            StringFormat("#EXT-X-STREAM-INF:BANDWIDTH=2400000,RESOLUTION=1280x720,FRAME-RATE=25.000,CODECS=\"VIDEO-CODECS,AUDIO-CODECS\",AUDIO=\"audio-%s\","
                         "SUBTITLES=\"subs-%s\",CLOSED-CAPTIONS=\"cc\",PATHWAY-ID=\"%s\"",
                         Name, Name, Name),
            StringFormat("video.m3u8?asset=1&pathway=%s&variant=0", Name), StringFormat(Audio.c_str(), Name, Name),
            StringFormat("#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"subs-%s\",LANGUAGE=\"en\",NAME=\"English\",DEFAULT=YES,AUTOSELECT=YES,"
                         "URI=\"subtitles.m3u8?asset=1&pathway=%s&lang=en\"",
                         Name, Name)};
    };
    auto const A = Pathway("a");
    auto const B = Pathway("b2");
    EXPECT_EQ(HlsPlaylistWriter::Master(Create("steer=a,b2&subs=en&cc=608"), Start),
              Lines({"#EXTM3U", "#EXT-X-CONTENT-STEERING:SERVER-URI=\"steering?asset=1\",PATHWAY-ID=\"a\"", A[0], A[1], A[2], A[3], B[0], B[1], B[2], B[3],
                     "#EXT-X-MEDIA:TYPE=CLOSED-CAPTIONS,GROUP-ID=\"cc\",LANGUAGE=\"en\",NAME=\"English\",AUTOSELECT=YES,DEFAULT=YES,INSTREAM-ID=\"CC1\""}));
    // Audio alone: its variants per pathway too.
    EXPECT_EQ(HlsPlaylistWriter::Master(Create("steer=x,y&novideo"), Start),
              Lines({"#EXTM3U", "#EXT-X-CONTENT-STEERING:SERVER-URI=\"steering?asset=2\",PATHWAY-ID=\"x\"",
                     "#EXT-X-STREAM-INF:BANDWIDTH=128000,CODECS=\"AUDIO-CODECS\",PATHWAY-ID=\"x\"", "audio.m3u8?asset=2&pathway=x",
                     "#EXT-X-STREAM-INF:BANDWIDTH=128000,CODECS=\"AUDIO-CODECS\",PATHWAY-ID=\"y\"", "audio.m3u8?asset=2&pathway=y"}));
}

// A pathway's media playlists name it in every address: key, map, segments,
// and the low-latency rendition reports.
TEST_F(SteeringTest, APathwaysMediaPlaylistsNameItInEveryAddress)
{
    auto& Asset = Create("steer=a,b&key=000102030405060708090A0B0C0D0E0F&keyformat=cp&subs=sv");
    auto const Video = HlsPlaylistWriter::Video(Asset, Asset.VariantSet.VideoVariants[0], 0, Start, PlaylistSkip::None, "b");
    EXPECT_TRUE(Holds(Video, "#EXT-X-KEY:METHOD=SAMPLE-AES-CTR,URI=\"key?asset=1&pathway=b\",")) << Video;
    EXPECT_TRUE(Holds(Video, Lines({"#EXT-X-MAP:URI=\"video-header.mp4?asset=1&pathway=b&variant=0\"", "#EXTINF:3.000,",
                                    "video-body.mp4?asset=1&pathway=b&variant=0&index=0"})))
        << Video;
    auto const Audio = HlsPlaylistWriter::Audio(Asset, Asset.VariantSet.AudioVariants[0], Start, PlaylistSkip::None, "a");
    EXPECT_TRUE(Holds(Audio, Lines({"#EXT-X-MAP:URI=\"audio-header.mp4?asset=1&pathway=a\"", "#EXTINF:6.000,", "audio-body.mp4?asset=1&pathway=a&index=0"})))
        << Audio;
    EXPECT_TRUE(Holds(HlsPlaylistWriter::Subtitles(Asset, "sv", Start, PlaylistSkip::None, "a"), "subtitles.vtt?asset=1&pathway=a&lang=sv&index=0\r\n"));

    auto& Live = Create("steer=a,b&live&ll");
    auto const Parts = HlsPlaylistWriter::Video(Live, Live.VariantSet.VideoVariants[0], 0, Start + 20 * Second, PlaylistSkip::None, "b");
    EXPECT_TRUE(Holds(Parts, "#EXT-X-PRELOAD-HINT:TYPE=PART,URI=\"video-body.mp4?asset=2&pathway=b&variant=0&index=")) << Parts;
    EXPECT_TRUE(Holds(Parts, "#EXT-X-RENDITION-REPORT:URI=\"audio.m3u8?asset=2&pathway=b\"")) << Parts;
}

// A rule limited to a pathway fires, and marks gaps, on that pathway alone.
TEST_F(SteeringTest, AFaultRuleOfAPathwayKeepsToIt)
{
    auto& Asset = Create("steer=a,b&fail=503@any:*:a&gap=@video:1:b&delay=100@video:2");
    auto& Plan = *Asset.Faults;
    auto const Fired = [&](FaultTrack Track, std::uint32_t Number, std::string_view Pathway) {
        std::string Names;
        for(auto const& Rule : Plan.Fire(Track, 0, Number, Pathway))
            Names += Rule.Text + ";";
        return Names;
    };
    EXPECT_EQ(Fired(FaultTrack::Audio, 4, "a"), "fail=503@any:*:a;");
    EXPECT_EQ(Fired(FaultTrack::Audio, 4, "b"), "");
    EXPECT_EQ(Fired(FaultTrack::Video, 2, "b"), "delay=100@video:2;");
    EXPECT_EQ(Fired(FaultTrack::Video, 2, ""), "delay=100@video:2;");
    auto const Gapped = [&](std::string const& Pathway) {
        return Holds(HlsPlaylistWriter::Video(Asset, Asset.VariantSet.VideoVariants[0], 0, Start, PlaylistSkip::None, Pathway), "#EXT-X-GAP");
    };
    EXPECT_TRUE(Gapped("b"));
    EXPECT_FALSE(Gapped("a"));

    EXPECT_EQ(RaisedStatus([&] { Create("steer=a,b&fail=503@video:1:c"); }), FailureCode::FaultRuleInvalid);
    EXPECT_EQ(RaisedStatus([&] { Create("fail=503@video:1:a"); }), FailureCode::FaultRuleInvalid);
    EXPECT_EQ(RaisedStatus([&] { FaultParser::Parse(Query("fail=503@video:1:a-b")); }), FailureCode::FaultRuleInvalid);
}

TEST_F(SteeringTest, DashNamesAServiceLocationAPathway)
{
    auto const& Asset = Create("steer=a,b", ManifestKind::Dash);
    std::string const Steering = "<ProgramInformation moreInformationURL=\"about\"/><BaseURL serviceLocation=\"a\">http://example.net:8080/hls/pathway/a/</BaseURL>"
                                 "<BaseURL serviceLocation=\"b\">http://example.net:8080/hls/pathway/b/</BaseURL><ContentSteering defaultServiceLocation=\"a\" "
                                 "queryBeforeStart=\"false\">http://example.net:8080/hls/steering?asset=1&amp;x</ContentSteering><Period ";
    DashManifestWriter Static(Asset, false, false);
    Static.SetSteering("http://example.net:8080/hls/steering?asset=1&x", "http://example.net:8080/hls/");
    EXPECT_TRUE(Holds(Static.Write(), Steering)) << Static.Write();
    auto const& Live = Create("steer=a,b&live&ll", ManifestKind::Dash);
    DashManifestWriter Dynamic(Live, false, false);
    Dynamic.SetDynamic(Start + 30 * Second, "http://example.net:8080/hls/time");
    Dynamic.SetSteering("s", "h/");
    EXPECT_TRUE(Holds(Dynamic.Write(), "</BaseURL><ContentSteering defaultServiceLocation=\"a\" queryBeforeStart=\"false\">s</ContentSteering><ServiceDescription"))
        << Dynamic.Write();
}

// The order: as given, the preferred pathway first, or rotating with the
// asset's clock; DASH assets name it the DASH way too.
TEST_F(SteeringTest, TheSteeringManifestOrdersThePathways)
{
    auto& Asset = Create("steer=a,b,c");
    EXPECT_EQ(Manifest(Asset, Start),
              "{\"VERSION\":1,\"TTL\":10,\"RELOAD-URI\":\"http://example.net:8080/hls/steering?asset=1\",\"PATHWAY-PRIORITY\":[\"a\",\"b\",\"c\"]}\n");
    EXPECT_EQ(Manifest(Asset, Start, "c"),
              "{\"VERSION\":1,\"TTL\":10,\"RELOAD-URI\":\"http://example.net:8080/hls/steering?asset=1&prefer=c\",\"PATHWAY-PRIORITY\":[\"c\",\"a\",\"b\"]}\n");
    // The address comes from the request's Host field: quoted as JSON.
    EXPECT_TRUE(Holds(SteeringManifest::Write(Asset, Start, std::nullopt, "http://a\"b/steering"), "\"RELOAD-URI\":\"http://a\\\"b/steering?asset=1\""));
    EXPECT_EQ(RaisedStatus([&] { Asset.Steering->Prefer("d"); }), FailureCode::PathwayUnknown);

    auto& Rotating = Create("steer=a,b,c&steerrotate=10&steerttl=4", ManifestKind::Dash);
    auto const Order = [&](std::int64_t Elapsed) { return Manifest(Rotating, Origin + Elapsed); };
    EXPECT_EQ(Order(9 * Second), "{\"VERSION\":1,\"TTL\":4,\"RELOAD-URI\":\"http://example.net:8080/hls/steering?asset=2\",\"PATHWAY-PRIORITY\":[\"a\",\"b\",\"c\"],"
                                  "\"SERVICE-LOCATION-PRIORITY\":[\"a\",\"b\",\"c\"]}\n");
    EXPECT_TRUE(Holds(Order(10 * Second), "\"PATHWAY-PRIORITY\":[\"b\",\"c\",\"a\"]"));
    EXPECT_TRUE(Holds(Order(25 * Second), "\"PATHWAY-PRIORITY\":[\"c\",\"a\",\"b\"]"));
    EXPECT_TRUE(Holds(Order(30 * Second), "\"PATHWAY-PRIORITY\":[\"a\",\"b\",\"c\"]"));
    // Before the asset's origin (a "now" in the past) the schedule runs back.
    EXPECT_TRUE(Holds(Order(-1), "\"PATHWAY-PRIORITY\":[\"c\",\"a\",\"b\"]"));
}

TEST_F(SteeringTest, WhatAPlayerReportsIsChecked)
{
    auto const& Asset = Create("steer=a,b");
    auto const Report = [&](std::string_view Text) { return SteeringManifest::ReportOf(Query(Text), Asset); };
    EXPECT_FALSE(Report("asset=1").has_value());
    auto const Hls = Report("_HLS_pathway=b&_HLS_throughput=5140000");
    ASSERT_TRUE(Hls.has_value());
    EXPECT_EQ(std::make_pair(Hls->Pathway, Hls->Throughput), std::make_pair(std::string("b"), std::optional<std::uint64_t>(5140000)));
    // The locations used since the last manifest, the latest last.
    auto const Dash = Report("_DASH_pathway=%22a,b%22&_DASH_throughput=4800000,");
    ASSERT_TRUE(Dash.has_value());
    EXPECT_EQ(std::make_pair(Dash->Pathway, Dash->Throughput), std::make_pair(std::string("b"), std::optional<std::uint64_t>()));
    EXPECT_EQ(Report("_DASH_pathway=a&_DASH_throughput=700")->Throughput, 700u);
    for(auto const& [Text, Status] : std::vector<std::pair<std::string_view, HRESULT>>{
            {"_HLS_pathway=c", FailureCode::PathwayUnknown},
            {"_HLS_pathway=a&_HLS_throughput=fast", FailureCode::SteeringInvalid},
            {"_DASH_pathway=%22a,c%22", FailureCode::PathwayUnknown},
            {"_DASH_pathway=%22a b%22", FailureCode::SteeringInvalid},
            {"_DASH_pathway=a&_DASH_throughput=1,2", FailureCode::SteeringInvalid},
        })
        EXPECT_EQ(RaisedStatus([&] { Report(Text); }), Status) << Text;
}

TEST_F(SteeringTest, PathwaysAreRefusedUnlessWellNamed)
{
    for(auto const* Text : {"steer=", "steer=a,a", "steer=a,b,c,d,e", "steer=a-b", "steer=abcdefghijklmnopq", "steerrotate=5", "steerttl=5"})
        EXPECT_EQ(RaisedStatus([&] { Create(Text); }), FailureCode::SteeringInvalid) << Text;
    EXPECT_EQ(RaisedStatus([&] { Create("steer=a&steerttl=0"); }), E_INVALIDARG);
    auto const& Asset = Create("steer=a,b");
    EXPECT_EQ(RequestPathway(Query("asset=1&pathway=b"), Asset), "b");
    EXPECT_EQ(RequestPathway(Query("asset=1"), Asset), "");
    EXPECT_EQ(RaisedStatus([&] { RequestPathway(Query("pathway=c"), Asset); }), FailureCode::PathwayUnknown);
    EXPECT_EQ(RaisedStatus([&] { RequestPathway(Query("pathway=a"), Create("")); }), FailureCode::PathwayUnknown);
}
