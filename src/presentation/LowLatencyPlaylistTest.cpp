// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AssetRegistry.h"
#include "presentation/BlockingReload.h"
#include "presentation/DeliveryDirectives.h"
#include "presentation/HlsPlaylistWriter.h"
#include "presentation/PartLayout.h"

#include "base/FailureCodes.h"
#include "presentation/TestSupport.h"

using namespace Application;
using Application::Test::Lines;
using Application::Test::Query;
using Application::Test::RaisedStatus;

namespace
{
constexpr std::int64_t Second = 10'000'000;
constexpr std::int64_t Millisecond = 10'000;
constexpr std::int64_t Start = Application::Test::January2024;

VideoVariant Video(std::uint32_t RateN, std::uint32_t RateD, bool TrickPlay = false)
{
    VideoVariant Variant;
    Variant.FrameRateN = RateN;
    Variant.FrameRateD = RateD;
    Variant.SegmentDuration = 3 * Second;
    Variant.TrickPlay = TrickPlay;
    return Variant;
}

AudioVariant Audio(AudioSubtype Subtype, std::int64_t SegmentDuration)
{
    AudioVariant Variant;
    Variant.Subtype = Subtype;
    Variant.SegmentDuration = SegmentDuration;
    return Variant;
}

class LowLatencyPlaylistTest : public ::testing::Test
{
protected:
    // Made 10 s after segment 0 began, as a live asset of a new server is.
    Configuration& Create(std::string_view Text) { return m_Registry.Create(ManifestKind::Hls, Query(Text), Start - 10 * Second, Start); }

    DefaultVariantSets m_Defaults;
    AssetRegistry m_Registry{m_Defaults};
};
} // namespace

TEST(PartLayoutTest, PicturesAreCutIntoWholeParts)
{
    // 25 fps, 3 s segments, half-second parts: 12 pictures each, the last
    // part of a segment the 3 left over; each starts with a key frame.
    auto const Layout = PartLayout::ForVideo(Video(25, 1), 5'000'000);
    EXPECT_EQ(Layout.FramesPerPart(), 12u);
    EXPECT_EQ(Layout.PartTarget(), 480 * Millisecond);
    EXPECT_EQ(Layout.FrameCount(7), 75u);
    EXPECT_EQ(Layout.PartCount(7), 7u);
    auto const Last = Layout.Part(2, 6);
    EXPECT_EQ(Last.FirstFrame, 72u);
    EXPECT_EQ(Last.FrameCount, 3u);
    EXPECT_EQ(Last.Start, 8'880 * Millisecond);
    EXPECT_EQ(Last.Duration, 120 * Millisecond);
    EXPECT_EQ(Last.Available, 9 * Second);
    EXPECT_TRUE(Layout.Part(2, 0).Independent);
    EXPECT_TRUE(Layout.Part(2, 2).Independent);
    EXPECT_EQ(RaisedStatus([&] { Layout.Part(2, 7); }), E_INVALIDARG);

    // One picture a second cannot make half-second parts: each part is one
    // picture, and the target says a second, so that no part exceeds it.
    auto const Slow = PartLayout::ForVideo(Video(1, 1, true), 5'000'000);
    EXPECT_EQ(Slow.PartTarget(), Second);
    EXPECT_EQ(Slow.PartCount(0), 3u);
    EXPECT_TRUE(Slow.Part(0, 1).Independent);

    // A part longer than the segment is the whole segment.
    EXPECT_EQ(PartLayout::ForVideo(Video(25, 1), 10 * Second).PartCount(4), 1u);
}

TEST_F(LowLatencyPlaylistTest, KeyFramesBeginEveryPartOfALowLatencyAsset)
{
    // The encoder is told the parts' length for a live "ll" asset only.
    auto const& Low = Create("live&ll&part=0.2");
    EXPECT_EQ(PartLayout::KeyFrameIntervalOf(Low, Low.VariantSet.VideoVariants[0]), 5u);
    EXPECT_FALSE(PartLayout::KeyFrameIntervalOf(Low, Low.VariantSet.VideoVariants[1]).has_value()); // every picture already
    auto const& OnDemand = Create("ll");
    EXPECT_FALSE(PartLayout::KeyFrameIntervalOf(OnDemand, OnDemand.VariantSet.VideoVariants[0]).has_value());
    auto const& Plain = Create("live");
    EXPECT_FALSE(PartLayout::KeyFrameIntervalOf(Plain, Plain.VariantSet.VideoVariants[0]).has_value());
}

TEST(PartLayoutTest, AudioFramesFollowTheirOwnGrid)
{
    // AAC: 23 frames of 1024 samples make a part; segment 0 holds the 282
    // frames that start before 6 s, its last part ends after 6 s but counts
    // as complete when the segment does.
    auto const Aac = PartLayout::ForAudio(Audio(AudioSubtype::Aac, 6 * Second), 5'000'000);
    EXPECT_EQ(Aac.FramesPerPart(), 23u);
    EXPECT_EQ(Aac.PartTarget(), 4'906'667);
    EXPECT_EQ(Aac.FrameCount(0), 282u);
    EXPECT_EQ(Aac.FrameCount(1), 281u);
    EXPECT_EQ(Aac.PartCount(0), 13u);
    auto const Last = Aac.Part(0, 12);
    EXPECT_EQ(Last.FrameCount, 6u);
    EXPECT_EQ(Last.Start + Last.Duration, 60'160'000);
    EXPECT_EQ(Last.Available, 6 * Second);
    EXPECT_TRUE(Aac.Part(1, 5).Independent);
    EXPECT_EQ(Aac.Part(1, 0).Start, 60'160'000);

    // FLAC: blocks of 4096 samples, five to a part.
    auto const Flac = PartLayout::ForAudio(Audio(AudioSubtype::Flac, 64 * Second / 10), 5'000'000);
    EXPECT_EQ(Flac.FramesPerPart(), 5u);
    EXPECT_EQ(Flac.FrameCount(3), 75u);
    EXPECT_EQ(Flac.PartCount(3), 15u);
}

TEST(PartLayoutTest, PositionsOnTheLiveEdge)
{
    auto const Layout = PartLayout::ForVideo(Video(25, 1), 5'000'000);
    EXPECT_FALSE(Layout.LastComplete(0).has_value());
    EXPECT_FALSE(Layout.LastComplete(479 * Millisecond).has_value());
    EXPECT_EQ(Layout.LastComplete(480 * Millisecond), (PartPosition{0, 0}));
    EXPECT_EQ(Layout.LastComplete(3'470 * Millisecond), (PartPosition{0, 6}));
    EXPECT_EQ(Layout.LastComplete(3'480 * Millisecond), (PartPosition{1, 0}));
    EXPECT_EQ(Layout.CompleteParts(1, 3 * Second), 0u);
    EXPECT_EQ(Layout.CompleteParts(1, 6 * Second), 7u);

    EXPECT_EQ(Layout.Next({0, 5}), (PartPosition{0, 6}));
    EXPECT_EQ(Layout.Next({0, 6}), (PartPosition{1, 0}));
    EXPECT_EQ(Layout.Normalise({0, 7}), (PartPosition{1, 0}));
    EXPECT_EQ(Layout.Normalise({0, 3}), (PartPosition{0, 3}));
    EXPECT_EQ(Layout.Distance({0, 5}, {1, 1}, 10), 3u);
    EXPECT_EQ(Layout.Distance({0, 5}, {0, 5}, 10), 0u);
    EXPECT_EQ(Layout.Distance({1, 1}, {0, 5}, 10), 11u);
    EXPECT_EQ(Layout.Distance({0, 0}, {9, 0}, 10), 11u);
}

TEST(BlockingReloadTest, AnswersHoldsOrRefuses)
{
    // 10 s in: segment 3 has its parts 0 and 1 (until 9.96 s).
    auto const Layout = PartLayout::ForVideo(Video(25, 1), 5'000'000);
    EXPECT_EQ(BlockingReload::AdvancePartLimit(Layout.PartTarget()), 6u);
    auto const Decide = [&](std::optional<std::uint32_t> Msn, std::optional<std::uint32_t> Part, std::int64_t Target = 3 * Second,
                            std::int64_t Elapsed = 10 * Second) { return BlockingReload::Decide(Layout, Target, Elapsed, {Msn, Part, PlaylistSkip::None}); };
    using Outcome = BlockingReload::Outcome;
    EXPECT_EQ(Decide(3, 1).Result, Outcome::Now);
    EXPECT_EQ(Decide(3, 2).Result, Outcome::Hold);
    EXPECT_EQ(Decide(3, 2).Ready, 10'440 * Millisecond);
    // A segment alone: once it is complete.
    EXPECT_EQ(Decide(3, std::nullopt).Ready, 12 * Second);
    EXPECT_EQ(Decide(5, std::nullopt).Result, Outcome::Hold);
    EXPECT_EQ(Decide(6, std::nullopt).Result, Outcome::TooFar);
    // A part beyond its segment's last is the next segment's first; six
    // parts ahead is the limit at 0.48 s a part.
    EXPECT_EQ(Decide(3, 9).Result, Outcome::Hold);
    EXPECT_EQ(Decide(3, 9).Ready, 12'480 * Millisecond);
    EXPECT_EQ(Decide(4, 1).Result, Outcome::TooFar);
    EXPECT_EQ(Decide(1, 200).Result, Outcome::Now);
    // Beyond three target durations: it would not come within the hold limit.
    EXPECT_EQ(Decide(5, std::nullopt, 1 * Second).Result, Outcome::Unavailable);
    // Before any part exists.
    EXPECT_EQ(Decide(1, std::nullopt, 3 * Second, 2 * Second / 10).Result, Outcome::Hold);
    EXPECT_EQ(Decide(2, std::nullopt, 3 * Second, 2 * Second / 10).Result, Outcome::TooFar);
}

TEST(DeliveryDirectivesTest, ReadsAndRefuses)
{
    auto const Directives = DeliveryDirectives::FromQuery(Query("asset=1&_HLS_msn=12&_HLS_part=3&_HLS_skip=YES"));
    EXPECT_EQ(Directives.Msn, 12u);
    EXPECT_EQ(Directives.Part, 3u);
    EXPECT_EQ(Directives.Skip, PlaylistSkip::Segments);
    EXPECT_EQ(DeliveryDirectives::FromQuery(Query("_HLS_skip=v2")).Skip, PlaylistSkip::SegmentsAndDateRanges);
    EXPECT_FALSE(DeliveryDirectives::FromQuery(Query("asset=1")).Msn.has_value());
    for(auto Text : {"_HLS_part=1", "_HLS_msn=-1", "_HLS_msn=", "_HLS_msn=1x", "_HLS_msn=4294967296", "_HLS_msn=1&_HLS_part=+2", "_HLS_skip=NO",
                     "_HLS_skip=yes"})
        EXPECT_EQ(RaisedStatus([&] { DeliveryDirectives::FromQuery(Query(Text)); }), FailureCode::DeliveryDirectiveInvalid) << Text;
}

TEST_F(LowLatencyPlaylistTest, LiveVideoPlaylistListsParts)
{
    // Parts of a second (25 pictures, each starting with a key frame), a
    // window of two segments, 10 s into the timeline: segments 1 and 2 are
    // complete, the first part of segment 3 too.
    auto& Asset = Create("live&ll&part=1&lv=6");
    EXPECT_EQ(HlsPlaylistWriter::Video(Asset, Asset.VariantSet.VideoVariants[0], 0, Start),
              Lines({"#EXTM3U",
                     "#EXT-X-VERSION:6",
                     "#EXT-X-TARGETDURATION:3.000",
                     "#EXT-X-SERVER-CONTROL:CAN-BLOCK-RELOAD=YES,CAN-SKIP-UNTIL=18.000,CAN-SKIP-DATERANGES=YES,PART-HOLD-BACK=3.00000",
                     "#EXT-X-PART-INF:PART-TARGET=1.00000",
                     "#EXT-X-MEDIA-SEQUENCE:1",
                     "#EXT-X-MAP:URI=\"video-header.mp4?asset=1&variant=0\"",
                     "#EXT-X-PROGRAM-DATE-TIME:2023-12-31T23:59:53.000Z",
                     "#EXT-X-PART:DURATION=1.00000,URI=\"video-body.mp4?asset=1&variant=0&index=1&part=0\",INDEPENDENT=YES",
                     "#EXT-X-PART:DURATION=1.00000,URI=\"video-body.mp4?asset=1&variant=0&index=1&part=1\",INDEPENDENT=YES",
                     "#EXT-X-PART:DURATION=1.00000,URI=\"video-body.mp4?asset=1&variant=0&index=1&part=2\",INDEPENDENT=YES",
                     "#EXTINF:3.000,",
                     "video-body.mp4?asset=1&variant=0&index=1",
                     "#EXT-X-PROGRAM-DATE-TIME:2023-12-31T23:59:56.000Z",
                     "#EXT-X-PART:DURATION=1.00000,URI=\"video-body.mp4?asset=1&variant=0&index=2&part=0\",INDEPENDENT=YES",
                     "#EXT-X-PART:DURATION=1.00000,URI=\"video-body.mp4?asset=1&variant=0&index=2&part=1\",INDEPENDENT=YES",
                     "#EXT-X-PART:DURATION=1.00000,URI=\"video-body.mp4?asset=1&variant=0&index=2&part=2\",INDEPENDENT=YES",
                     "#EXTINF:3.000,",
                     "video-body.mp4?asset=1&variant=0&index=2",
                     "#EXT-X-PROGRAM-DATE-TIME:2023-12-31T23:59:59.000Z",
                     "#EXT-X-PART:DURATION=1.00000,URI=\"video-body.mp4?asset=1&variant=0&index=3&part=0\",INDEPENDENT=YES",
                     "#EXT-X-PRELOAD-HINT:TYPE=PART,URI=\"video-body.mp4?asset=1&variant=0&index=3&part=1\"",
                     "#EXT-X-RENDITION-REPORT:URI=\"video.m3u8?asset=1&variant=1\",LAST-MSN=3,LAST-PART=0",
                     "#EXT-X-RENDITION-REPORT:URI=\"audio.m3u8?asset=1\",LAST-MSN=1,LAST-PART=3"}));
}

TEST_F(LowLatencyPlaylistTest, DefaultPartsAndTheAudioPlaylist)
{
    auto& Asset = Create("live&ll");
    auto const Video = HlsPlaylistWriter::Video(Asset, Asset.VariantSet.VideoVariants[0], 0, Start + 1 * Second);
    // 11 s: the open segment 3 has its parts of 0.48 s up to 10.92 s.
    EXPECT_NE(Video.find("PART-HOLD-BACK=1.44000\r\n"), std::string::npos);
    EXPECT_NE(Video.find("#EXT-X-PART:DURATION=0.12000,URI=\"video-body.mp4?asset=1&variant=0&index=2&part=6\",INDEPENDENT=YES\r\n#EXTINF:3.000,\r\n"),
              std::string::npos);
    EXPECT_NE(Video.find("#EXT-X-PART:DURATION=0.48000,URI=\"video-body.mp4?asset=1&variant=0&index=3&part=3\",INDEPENDENT=YES\r\n"
                         "#EXT-X-PRELOAD-HINT:TYPE=PART,URI=\"video-body.mp4?asset=1&variant=0&index=3&part=4\"\r\n"),
              std::string::npos);
    // The trick-play row: parts of one picture, a second each. (The part
    // targets are PartLayout's, their form the whole text's above.)
    auto const TrickPlay = HlsPlaylistWriter::Video(Asset, Asset.VariantSet.VideoVariants[1], 0, Start + 1 * Second);
    EXPECT_NE(TrickPlay.find("#EXT-X-RENDITION-REPORT:URI=\"video.m3u8?asset=1&variant=0\",LAST-MSN=3,LAST-PART=3\r\n"), std::string::npos);

    auto const Audio = HlsPlaylistWriter::Audio(Asset, Asset.VariantSet.AudioVariants.front(), Start + 1 * Second);
    EXPECT_NE(Audio.find("#EXT-X-PART:DURATION=0.49067,URI=\"audio-body.mp4?asset=1&index=0&part=0\",INDEPENDENT=YES\r\n"), std::string::npos);
    EXPECT_NE(Audio.find("#EXT-X-PART:DURATION=0.12800,URI=\"audio-body.mp4?asset=1&index=0&part=12\",INDEPENDENT=YES\r\n#EXTINF:6.000,\r\n"),
              std::string::npos);
    EXPECT_NE(Audio.find("#EXT-X-RENDITION-REPORT:URI=\"video.m3u8?asset=1&variant=0\",LAST-MSN=3,LAST-PART=3\r\n"
                         "#EXT-X-RENDITION-REPORT:URI=\"video.m3u8?asset=1&variant=1\",LAST-MSN=3,LAST-PART=1\r\n"),
              std::string::npos);
    EXPECT_EQ(Audio.find("audio.m3u8"), std::string::npos);
}

TEST_F(LowLatencyPlaylistTest, SubtitlePlaylistsHaveTheVideoRowsParts)
{
    // Parts of a second. At 10 s segment 3 (9 s to 12 s) is open with its
    // first part complete: the subtitles list it as the video does, so a
    // player 1.5 s behind the edge has its cues before it shows them.
    auto& Asset = Create("live&ll&part=1&lv=6&subs=en,sv");
    auto const Subtitles = HlsPlaylistWriter::Subtitles(Asset, "sv", Start);
    EXPECT_NE(Subtitles.find("#EXT-X-SERVER-CONTROL:CAN-BLOCK-RELOAD=YES,"), std::string::npos);
    EXPECT_NE(Subtitles.find("subtitles.vtt?asset=1&lang=sv&index=2\r\n#EXT-X-PROGRAM-DATE-TIME:2023-12-31T23:59:59.000Z\r\n"
                             "#EXT-X-PART:DURATION=1.00000,URI=\"subtitles.vtt?asset=1&lang=sv&index=3&part=0\",INDEPENDENT=YES\r\n"
                             "#EXT-X-PRELOAD-HINT:TYPE=PART,URI=\"subtitles.vtt?asset=1&lang=sv&index=3&part=1\"\r\n"
                             "#EXT-X-RENDITION-REPORT:URI=\"video.m3u8?asset=1&variant=0\",LAST-MSN=3,LAST-PART=0\r\n"),
              std::string::npos);
    // Every other rendition reports on it; it reports on the other language, not itself.
    auto const Report = "#EXT-X-RENDITION-REPORT:URI=\"subtitles.m3u8?asset=1&lang=sv\",LAST-MSN=3,LAST-PART=0\r\n";
    EXPECT_NE(HlsPlaylistWriter::Video(Asset, Asset.VariantSet.VideoVariants[0], 0, Start).find(Report), std::string::npos);
    EXPECT_NE(HlsPlaylistWriter::Audio(Asset, Asset.VariantSet.AudioVariants.front(), Start).find(Report), std::string::npos);
    EXPECT_NE(Subtitles.find("subtitles.m3u8?asset=1&lang=en\",LAST-MSN=3,LAST-PART=0"), std::string::npos);
    EXPECT_EQ(Subtitles.find("subtitles.m3u8?asset=1&lang=sv"), std::string::npos);
    // In MP4, the parts are fragments of the text track.
    auto& Fragments = Create("live&ll&part=1&lv=6&subs=en&subsformat=wvtt");
    EXPECT_NE(HlsPlaylistWriter::Subtitles(Fragments, "en", Start).find("URI=\"subtitles-body.mp4?asset=2&lang=en&index=3&part=0\""), std::string::npos);
}

TEST_F(LowLatencyPlaylistTest, DeltaUpdatesSkipTheOlderSegments)
{
    // 40 s in with a 30 s window: segments 3 to 12 are listed and the parts
    // of segment 13 up to 39.96 s; what ends 18 s before that may be left out.
    auto& Asset = Create("live&ll&lv=30");
    auto const& Variant = Asset.VariantSet.VideoVariants[0];
    auto const Full = HlsPlaylistWriter::Video(Asset, Variant, 0, Start + 30 * Second);
    auto const Delta = HlsPlaylistWriter::Video(Asset, Variant, 0, Start + 30 * Second, PlaylistSkip::Segments);
    EXPECT_NE(Full.find("#EXT-X-VERSION:6\r\n"), std::string::npos);
    EXPECT_NE(Delta.find("#EXT-X-VERSION:9\r\n"), std::string::npos);
    EXPECT_NE(Delta.find("#EXT-X-MEDIA-SEQUENCE:3\r\n#EXT-X-MAP:URI=\"video-header.mp4?asset=1&variant=0\"\r\n#EXT-X-SKIP:SKIPPED-SEGMENTS=4\r\n"
                         "#EXT-X-PROGRAM-DATE-TIME:2024-01-01T00:00:11.000Z\r\n#EXTINF:3.000,\r\nvideo-body.mp4?asset=1&variant=0&index=7\r\n"),
              std::string::npos);
    // What follows the skipped segments is the full playlist's text.
    auto const Kept = Full.find("#EXT-X-PROGRAM-DATE-TIME:2024-01-01T00:00:11.000Z");
    ASSERT_NE(Kept, std::string::npos);
    EXPECT_TRUE(Delta.ends_with(Full.substr(Kept)));

    auto const Version2 = HlsPlaylistWriter::Video(Asset, Variant, 0, Start + 30 * Second, PlaylistSkip::SegmentsAndDateRanges);
    EXPECT_NE(Version2.find("#EXT-X-VERSION:10\r\n"), std::string::npos);
    EXPECT_NE(Version2.find("#EXT-X-SKIP:SKIPPED-SEGMENTS=4,RECENTLY-REMOVED-DATERANGES=\"\"\r\n"), std::string::npos);
}

TEST_F(LowLatencyPlaylistTest, OnlyLiveLowLatencyAssetsChange)
{
    // "ll" on an on-demand asset, and a live one without it, keep their texts.
    auto& OnDemand = Create("ll");
    auto& Plain = Create("live&lv=6");
    auto const OnDemandText = HlsPlaylistWriter::Video(OnDemand, OnDemand.VariantSet.VideoVariants[0], 0, Start);
    EXPECT_EQ(OnDemandText.find("#EXT-X-PART"), std::string::npos);
    EXPECT_EQ(HlsPlaylistWriter::Video(Plain, Plain.VariantSet.VideoVariants[0], 0, Start, PlaylistSkip::Segments),
              Lines({"#EXTM3U", "#EXT-X-VERSION:6", "#EXT-X-TARGETDURATION:3.000", "#EXT-X-MEDIA-SEQUENCE:1", "#EXT-X-MAP:URI=\"video-header.mp4?asset=2&variant=0\"",
                     "#EXTINF:3.000,", "video-body.mp4?asset=2&variant=0&index=1", "#EXTINF:3.000,", "video-body.mp4?asset=2&variant=0&index=2"}));

    // Once a live "ll" asset has ended, no part of an open segment nor a hint is listed.
    auto& Ending = Create("live&ll&duration=6&lv=6");
    HlsPlaylistWriter::Master(Ending, Start);
    auto const Ended = HlsPlaylistWriter::Video(Ending, Ending.VariantSet.VideoVariants[0], 0, Start + 7 * Second);
    EXPECT_TRUE(Ended.ends_with("video-body.mp4?asset=3&variant=0&index=4\r\n#EXT-X-RENDITION-REPORT:URI=\"video.m3u8?asset=3&variant=1\",LAST-MSN=5,LAST-PART=1\r\n"
                                "#EXT-X-RENDITION-REPORT:URI=\"audio.m3u8?asset=3\",LAST-MSN=2,LAST-PART=9\r\n#EXT-X-ENDLIST\r\n"));
    EXPECT_EQ(Ended.find("PRELOAD-HINT"), std::string::npos);
}
