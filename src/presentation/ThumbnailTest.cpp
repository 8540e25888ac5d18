// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AdAssets.h"
#include "presentation/AssetRegistry.h"
#include "presentation/DashManifestWriter.h"
#include "presentation/HlsPlaylistWriter.h"

#include "base/FailureCodes.h"
#include "presentation/TestSupport.h"

using namespace Application;
using Application::Test::Lines;
using Application::Test::Query;
using Application::Test::RaisedStatus;

namespace
{
constexpr std::int64_t Second = 10'000'000;
constexpr std::int64_t Start = Application::Test::January2024;

class ThumbnailTest : public ::testing::Test
{
protected:
    Configuration& Create(std::string_view Text, ManifestKind Kind = ManifestKind::Hls)
    {
        return m_Registry.Create(Kind, Query(Text), Start - 10 * Second, Start);
    }
    std::string Dash(std::string_view Text, std::optional<std::int64_t> PublishTime = std::nullopt)
    {
        auto const& Asset = Create(Text, ManifestKind::Dash);
        DashManifestWriter Writer(Asset, false, false);
        if(PublishTime)
            Writer.SetDynamic(*PublishTime, "http://example.net/hls/time");
        return Writer.Write();
    }
    // The image sets of a manifest, each from its opening to its closing tag.
    static std::vector<std::string> ImageSets(std::string const& Manifest)
    {
        std::vector<std::string> Sets;
        for(std::size_t At = Manifest.find("<AdaptationSet id=\"", 0); At != std::string::npos; At = Manifest.find("<AdaptationSet id=\"", At + 1))
        {
            std::size_t const End = Manifest.find("</AdaptationSet>", At) + std::string_view("</AdaptationSet>").size();
            if(Manifest.substr(At, End - At).find("contentType=\"image\"") != std::string::npos)
                Sets.push_back(Manifest.substr(At, End - At));
        }
        return Sets;
    }

    DefaultVariantSets m_Defaults;
    AssetRegistry m_Registry{m_Defaults};
};
} // namespace

TEST_F(ThumbnailTest, LayoutTakesTheGridAndTheIntervalWithinTheirLimits)
{
    auto const Layout = [](std::string_view Value) {
        auto const Parsed = ThumbnailLayout::Parse(Value);
        return std::tuple(Parsed.Columns, Parsed.Rows, Parsed.Interval / Second, Parsed.TileDuration() / Second);
    };
    EXPECT_EQ(Layout(""), std::tuple(5u, 5u, 2, 50));
    EXPECT_EQ(Layout("4x3"), std::tuple(4u, 3u, 2, 24));
    EXPECT_EQ(Layout("@5"), std::tuple(5u, 5u, 5, 125));
    EXPECT_EQ(Layout("10x10@60"), std::tuple(10u, 10u, 60, 6000));
    EXPECT_EQ(Layout("1x1@1"), std::tuple(1u, 1u, 1, 1));
    for(auto const* Bad : {"0x5", "11x1", "5x11", "5x5@0", "5x5@61", "5x5@", "5x", "x5", "5", "5x5x5", "5x5@1.5", "-1x5", "5 x5", "@"})
        EXPECT_EQ(RaisedStatus([&] { ThumbnailLayout::Parse(Bad); }), FailureCode::ThumbnailsInvalid) << Bad;
    EXPECT_EQ(RaisedStatus([&] { Create("thumbs&novideo"); }), FailureCode::ThumbnailsInvalid);
    // The thumbnail keeps the picture's aspect, its height even.
    EXPECT_EQ(ThumbnailLayout::ThumbnailHeight(1280, 720), 144u);
    EXPECT_EQ(ThumbnailLayout::ThumbnailHeight(640, 480), 192u);
    EXPECT_EQ(ThumbnailLayout::ThumbnailHeight(1000, 1), 2u);
}

TEST_F(ThumbnailTest, HlsMasterNamesTheImagePlaylistWhichListsTheTiles)
{
    auto& Asset = Create("thumbs&duration=60");
    std::string const Master = HlsPlaylistWriter::Master(Asset, Start);
    // One thumbnail's size, 6000 bytes every 2 s.
    EXPECT_TRUE(Master.ends_with("\r\n#EXT-X-IMAGE-STREAM-INF:BANDWIDTH=24000,RESOLUTION=256x144,CODECS=\"jpeg\",URI=\"thumbs.m3u8?asset=1\"\r\n")) << Master;
    std::string const Tiles = "#EXT-X-TILES:RESOLUTION=256x144,LAYOUT=5x5,DURATION=2.000";
    EXPECT_EQ(HlsPlaylistWriter::Thumbnails(Asset, Start),
              Lines({"#EXTM3U", "#EXT-X-VERSION:7", "#EXT-X-PLAYLIST-TYPE:VOD", "#EXT-X-TARGETDURATION:50.000", "#EXT-X-MEDIA-SEQUENCE:0", "#EXT-X-IMAGES-ONLY",
                     Tiles, "#EXTINF:50.000,", "thumbs.jpg?asset=1&index=0", Tiles, "#EXTINF:10.000,", "thumbs.jpg?asset=1&index=1", "#EXT-X-ENDLIST"}));
    // Without "thumbs" the master is as it always was; an ad's thumbnails would be the content's: it has none.
    EXPECT_EQ(HlsPlaylistWriter::Master(Create("duration=60"), Start).find("IMAGE"), std::string::npos);
    auto Ad = AdAssets::Make(Create("thumbs&duration=30&breaks=@12:6&ads=1"), 1, 1);
    EXPECT_EQ(HlsPlaylistWriter::Master(Ad, Start).find("IMAGE"), std::string::npos);
}

TEST_F(ThumbnailTest, LiveImagePlaylistListsTheCompleteTilesOfTheWindow)
{
    // Tiles of 3 × 2 s; the timeline began 10 s before Start, the window is 12 s.
    auto& Asset = Create("thumbs=3x1@2&live&lv=12&pdt=0");
    std::string const Tiles = "#EXT-X-TILES:RESOLUTION=256x144,LAYOUT=3x1,DURATION=2.000";
    // 31 s in: tiles 0 to 4 are complete, 3 and 4 begin within the window.
    EXPECT_EQ(HlsPlaylistWriter::Thumbnails(Asset, Start + 21 * Second),
              Lines({"#EXTM3U", "#EXT-X-VERSION:7", "#EXT-X-TARGETDURATION:6.000", "#EXT-X-MEDIA-SEQUENCE:3", "#EXT-X-IMAGES-ONLY",
                     "#EXT-X-PROGRAM-DATE-TIME:2024-01-01T00:00:08.000Z", Tiles, "#EXTINF:6.000,", "thumbs.jpg?asset=1&index=3",
                     "#EXT-X-PROGRAM-DATE-TIME:2024-01-01T00:00:14.000Z", Tiles, "#EXTINF:6.000,", "thumbs.jpg?asset=1&index=4"}));
}

TEST_F(ThumbnailTest, StaticManifestHasAnImageSetInEachPeriodOnThePresentationsTimeline)
{
    auto const Sets = ImageSets(Dash("thumbs=4x2@1"));
    ASSERT_EQ(Sets.size(), 3u);
    // Period 1 shows media time 7 s to 13 s, all in tile 0 of 8 s, and tile 1: its box colour is the period's.
    EXPECT_EQ(Sets[1], "<AdaptationSet id=\"2\" contentType=\"image\" mimeType=\"image/jpeg\">"
                       "<Representation id=\"2\" bandwidth=\"48000\" width=\"1024\" height=\"288\">"
                       "<EssentialProperty schemeIdUri=\"http://dashif.org/thumbnail_tile\" value=\"4x2\"/>"
                       "<SegmentTemplate timescale=\"10000000\" presentationTimeOffset=\"70000000\" "
                       "media=\"thumbs.jpg?asset=1&amp;period=1&amp;color=1&amp;baseIndex=1&amp;index=$Number$\">"
                       "<SegmentTimeline><S d=\"80000000\" t=\"0\" r=\"1\" /></SegmentTimeline></SegmentTemplate></Representation></AdaptationSet>");
    // With breaks the periods follow the presentation: a content period's
    // tiles begin where it does; ads have none.
    auto const Cut = ImageSets(Dash("thumbs=4x2@1&duration=30&breaks=@12:6&ads=1"));
    ASSERT_EQ(Cut.size(), 2u);
    EXPECT_NE(Cut[1].find("presentationTimeOffset=\"180000000\" media=\"thumbs.jpg?asset=2&amp;baseIndex=-1&amp;index=$Number$\">"
                          "<SegmentTimeline><S d=\"80000000\" t=\"160000000\" r=\"1\" />"),
              std::string::npos)
        << Cut[1];
}

TEST_F(ThumbnailTest, DynamicManifestsOfferTheTilesByNumber)
{
    auto const Template = [](int Asset) {
        return "<SegmentTemplate timescale=\"10000000\" duration=\"500000000\" startNumber=\"1\" media=\"thumbs.jpg?asset=" + std::to_string(Asset) +
               "&amp;baseIndex=1&amp;index=$Number$\"/>";
    };
    auto const LowLatency = ImageSets(Dash("thumbs&live&ll", Start + 60 * Second));
    ASSERT_EQ(LowLatency.size(), 1u);
    EXPECT_NE(LowLatency[0].find(Template(1)), std::string::npos) << LowLatency[0];
    auto const Regular = ImageSets(Dash("thumbs&live&dynamic&segtimeline", Start + 60 * Second));
    ASSERT_EQ(Regular.size(), 1u);
    EXPECT_NE(Regular[0].find(Template(2)), std::string::npos) << Regular[0];
    // Several live periods would need a template each: none there.
    EXPECT_TRUE(ImageSets(Dash("thumbs&live&ll&disc=60", Start + 60 * Second)).empty());
}
