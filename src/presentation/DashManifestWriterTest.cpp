// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AssetRegistry.h"
#include "presentation/DashManifestWriter.h"

#include <fstream>
#include <optional>
#include <sstream>

#include "presentation/TestSupport.h"

using namespace Application;
using Application::Test::Query;

namespace
{
constexpr std::int64_t Start = Application::Test::January2024;

std::string Expected(char const* Name)
{
    return Application::Test::ExpectedDocument(Name);
}

class DashManifestWriterTest : public ::testing::Test
{
protected:
    DashManifestWriterTest()
    {
        for(auto& Variant : m_Defaults.H264.VideoVariants)
            Variant.Codecs = "VIDEO-CODECS";
        m_Defaults.H264.AudioVariants[0].Codecs = "AUDIO-CODECS";
    }
    std::string Manifest(std::string_view Text, bool WriteResponseFiles = false, std::string LicenceUrl = "http://example.net:8080/hls/clearkey?asset=1",
                         std::optional<std::int64_t> PublishTime = std::nullopt)
    {
        AssetRegistry Registry(m_Defaults);
        auto const Query = Application::Test::Query(Text);
        auto const& Asset = Registry.Create(ManifestKind::Dash, Query, Start, Start);
        DashManifestWriter Writer(Asset, FindQueryValue(Query, "trickplay") != nullptr, WriteResponseFiles, std::move(LicenceUrl));
        if(PublishTime)
            Writer.SetDynamic(*PublishTime, "http://example.net:8080/hls/time");
        return Writer.Write();
    }
    // The dynamic document, 65.5 s into the live timeline.
    std::string Dynamic(std::string_view Text, bool WriteResponseFiles = false)
    {
        return Manifest(Text, WriteResponseFiles, "http://example.net:8080/hls/clearkey?asset=1", Start + 655'000'000);
    }

    DefaultVariantSets m_Defaults;
};
} // namespace

TEST_F(DashManifestWriterTest, WholeDocuments)
{
    EXPECT_EQ(Manifest(""), Expected("default.mpd"));
    EXPECT_EQ(Manifest("trickplay"), Expected("trickplay.mpd"));
    EXPECT_EQ(Manifest("novideo&trickplay"), Expected("novideo.mpd"));
    EXPECT_EQ(Manifest("", true), Expected("files.mpd"));
}

TEST_F(DashManifestWriterTest, OptionsThatDoNotChangeTheDocument)
{
    // Duration, live, encryption and the HLS-only keys leave the manifest as it is.
    EXPECT_EQ(Manifest("duration=60&live&hvc1&flac&key=000102030405060708090A0B0C0D0E0F"), Expected("default.mpd"));
    auto const NoAudio = Manifest("noaudio");
    EXPECT_EQ(NoAudio.find("contentType=\"audio\""), std::string::npos);
    EXPECT_EQ(NoAudio.find("audio-"), std::string::npos);
    EXPECT_NE(NoAudio.find("<AdaptationSet id=\"0\" contentType=\"video\">"), std::string::npos);
}

namespace
{
std::size_t Count(std::string const& Text, std::string_view Part)
{
    std::size_t Number = 0;
    for(auto Position = Text.find(Part); Position != std::string::npos; Position = Text.find(Part, Position + 1))
        ++Number;
    return Number;
}

} // namespace

// "audio=opus,ec3": an adaptation set per codec, with the channel scheme
// each uses (MPEG's count for Opus, Dolby's loudspeaker mask for E-AC-3),
// and addresses that name the row.
TEST_F(DashManifestWriterTest, AudioAlternativesMakeASetEach)
{
    auto const Text = Manifest("audio=opus,ec3");
    auto const First = Text.find("</Period>");
    ASSERT_NE(First, std::string::npos);
    auto const Period = Text.substr(0, First);
    EXPECT_NE(Period.find("<AdaptationSet id=\"1\" contentType=\"audio\" lang=\"en\"><Representation id=\"1\" bandwidth=\"128000\" codecs=\"\" "
                          "mimeType=\"audio/mp4\" audioSamplingRate=\"48000\"><AudioChannelConfiguration "
                          "schemeIdUri=\"urn:mpeg:dash:23003:3:audio_channel_configuration:2011\" value=\"2\"/><SegmentTemplate timescale=\"10000000\" "
                          "presentationTimeOffset=\"10000000\" initialization=\"audio-header.mp4?asset=1&amp;audio=opus\" "
                          "media=\"audio-body.mp4?asset=1&amp;audio=opus&amp;period=0&amp;baseIndex=1&amp;index=$Number$\""),
              std::string::npos)
        << Period;
    EXPECT_NE(Period.find("<AdaptationSet id=\"2\" contentType=\"audio\" lang=\"en\"><Representation id=\"2\" bandwidth=\"128000\" codecs=\"\" "
                          "mimeType=\"audio/mp4\" audioSamplingRate=\"48000\"><AudioChannelConfiguration "
                          "schemeIdUri=\"tag:dolby.com,2014:dash:audio_channel_configuration:2011\" value=\"A000\"/><SegmentTemplate timescale=\"10000000\" "
                          "presentationTimeOffset=\"10000000\" initialization=\"audio-header.mp4?asset=1&amp;audio=ec3\""),
              std::string::npos)
        << Period;
}

TEST_F(DashManifestWriterTest, ContentProtectionOnlyOnRequestAndOnlyForEncryptedAssets)
{
    std::string const Key = "key=000102030405060708090A0B0C0D0E0F";
    // The design's default: players learn the protection from the media.
    EXPECT_EQ(Manifest("cp"), Expected("default.mpd"));
    EXPECT_EQ(Manifest(Key + "&scheme=cbcs"), Expected("default.mpd"));

    auto const Text = Manifest(Key + "&cp&trickplay");
    EXPECT_NE(Text.find("<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:cenc=\"urn:mpeg:cenc:2013\""
                        " xmlns:mspr=\"urn:microsoft:playready\" xmlns:dashif=\"https://dashif.org/CPS\" xsi:schemaLocation="),
              std::string::npos);
    // Every adaptation set (video, trick play, audio) of the three periods
    // starts with the three descriptors.
    std::string const CommonEncryption =
        "<ContentProtection schemeIdUri=\"urn:mpeg:dash:mp4protection:2011\" value=\"cenc\" cenc:default_KID=\"a3f1c6d2-847b-4e09-b5e2-d7c8196f3a40\"/>";
    EXPECT_EQ(Count(Text, "<ContentProtection "), 3u * 3 * 3);
    EXPECT_EQ(Count(Text, "<AdaptationSet id=\"0\" contentType=\"video\">" + CommonEncryption), 3u);
    EXPECT_EQ(Count(Text, "<AdaptationSet id=\"trickplay-1\" contentType=\"video\">" + CommonEncryption), 3u);
    EXPECT_EQ(Count(Text, "<AdaptationSet id=\"2\" contentType=\"audio\" lang=\"en\">" + CommonEncryption), 3u);
    EXPECT_EQ(Count(Text, "<ContentProtection schemeIdUri=\"urn:uuid:e2719d58-a985-b3c9-781a-b030af78d30e\" value=\"ClearKey1.0\">"
                          "<dashif:Laurl>http://example.net:8080/hls/clearkey?asset=1</dashif:Laurl></ContentProtection>"),
              9u);

    // The PlayReady header and pssh box against the initialisation segment's
    // own: test_conformance.py.
    EXPECT_EQ(Count(Text, "<ContentProtection schemeIdUri=\"urn:uuid:9a04f079-9840-4286-ab92-e65be0885f95\" value=\"MSPR 2.0\"><mspr:pro>"), 9u);

    auto const Cbcs = Manifest(Key + "&scheme=cbcs&cp", false, "http://h/<a>&b");
    EXPECT_EQ(Count(Cbcs, "<ContentProtection schemeIdUri=\"urn:mpeg:dash:mp4protection:2011\" value=\"cbcs\" "), 6u);
    EXPECT_EQ(Count(Cbcs, "<dashif:Laurl>http://h/&lt;a&gt;&amp;b</dashif:Laurl>"), 6u);
}

TEST_F(DashManifestWriterTest, DynamicLowLatencyDocument)
{
    // The whole document of a small case: one period from the start of the
    // live timeline, templates by number offered a part before they are
    // complete, the latency to keep and the clock to keep it by.
    EXPECT_EQ(Dynamic("live&ll&lv=30&part=0.4&trickplay"), Expected("live-ll.mpd"));
    auto const Text = Dynamic("live&ll");
    EXPECT_NE(Text.find(" type=\"dynamic\" availabilityStartTime=\"2024-01-01T00:00:00.000Z\" publishTime=\"2024-01-01T00:01:05.500Z\""), std::string::npos);
    // The default part of half a second: video (3 s) and audio (6 s)
    // segments are offered by the longest one, 6 s less a part.
    EXPECT_NE(Text.find("duration=\"30000000\" startNumber=\"1\" availabilityTimeOffset=\"5.500\" availabilityTimeComplete=\"false\""), std::string::npos);
    EXPECT_NE(Text.find("duration=\"60000000\" startNumber=\"1\" availabilityTimeOffset=\"5.500\" availabilityTimeComplete=\"false\""), std::string::npos);
    // Without audio the video segments are the longest.
    EXPECT_NE(Dynamic("live&ll&novideo").find("availabilityTimeOffset=\"5.500\""), std::string::npos);
    EXPECT_EQ(Count(Dynamic("live&ll&noaudio"), "availabilityTimeOffset=\"2.500\""), 1u);
    // A part as long as the longest segment: nothing is offered before it is complete.
    auto const Whole = Dynamic("live&ll&part=6");
    EXPECT_EQ(Count(Whole, "availabilityTimeOffset"), 0u);
    EXPECT_EQ(Count(Whole, "<SegmentTemplate "), 2u);
    // Response-body files keep their names; protection is signalled as in
    // the static document.
    EXPECT_EQ(Count(Dynamic("live&ll", true), "__media=\"video-body-v0-p0-i$Number$.mp4\"/>"), 1u);
    auto const Protected = Dynamic("live&ll&cp&key=000102030405060708090A0B0C0D0E0F");
    EXPECT_EQ(Count(Protected, "<ContentProtection schemeIdUri=\"urn:mpeg:dash:mp4protection:2011\" value=\"cenc\""), 2u);
    EXPECT_NE(Protected.find("xmlns:cenc=\"urn:mpeg:cenc:2013\""), std::string::npos);
    // Periods (ads, changes) offer segments only when complete: a player
    // that kept the one period's latency would wait at every audio segment.
    for(auto const* Periods : {"live&ll&breaks=18:12&ads=2", "live&ll&disc=12"})
    {
        auto const Text = Dynamic(Periods);
        EXPECT_EQ(Count(Text, "availabilityTimeOffset"), 0u) << Periods;
        EXPECT_NE(Text.find(" suggestedPresentationDelay=\"PT8.00S\""), std::string::npos) << Periods;
        EXPECT_NE(Text.find("<Latency target=\"8000\" min=\"7000\" max=\"10000\"/>"), std::string::npos) << Periods;
    }
}

TEST_F(DashManifestWriterTest, OnlyALiveLowLatencyAssetIsDynamic)
{
    // The route makes the document dynamic for "live&ll" only; the option
    // alone changes nothing in the static one.
    EXPECT_EQ(Manifest("ll"), Expected("default.mpd"));
    EXPECT_EQ(Manifest("live&ll&part=2"), Expected("default.mpd"));
}

TEST_F(DashManifestWriterTest, RegularDynamicDocuments)
{
    // The three forms of a small case at 65.5 s: number templates; a
    // timeline of the window's complete segments (36 s to 63 s of video,
    // 36 s to 60 s of audio) by start time; the same timeline by number.
    // No low-latency attribute, a presentation delay of the longest segment
    // and a margin, an update after every video segment.
    EXPECT_EQ(Dynamic("live&dynamic&lv=30&trickplay"), Expected("live-dynamic.mpd"));
    EXPECT_EQ(Dynamic("live&dynamic&segtimeline&lv=30"), Expected("live-segtimeline.mpd"));
    EXPECT_EQ(Dynamic("live&dynamic&segtimeline=number&lv=30", true), Expected("live-segtimeline-number.mpd"));
    // Subtitles follow the video's timeline; audio alone updates after its own segment.
    auto const Text = Dynamic("live&dynamic&segtimeline&lv=30&subs=en");
    EXPECT_EQ(Count(Text, "<S t=\"360000000\" d=\"30000000\" r=\"8\"/>"), 2u);
    EXPECT_NE(Text.find("media=\"subtitles-body.mp4?asset=1&amp;lang=en&amp;time=$Time$\""), std::string::npos);
    EXPECT_NE(Dynamic("live&dynamic&novideo").find(" minimumUpdatePeriod=\"PT6.00S\""), std::string::npos);
    // A window shorter than a segment still lists the live edge's; before
    // the first segment is complete the timeline is empty.
    EXPECT_EQ(Count(Dynamic("live&dynamic&segtimeline&lv=0"), "<SegmentTimeline><S t=\"600000000\" d=\"30000000\" r=\"0\"/></SegmentTimeline>"), 1u);
    auto const Early = Manifest("live&dynamic&segtimeline", false, "", Start + 20'000'000);
    EXPECT_EQ(Count(Early, "<SegmentTimeline></SegmentTimeline>"), 2u);
    // Protection and breaks' events as in the other dynamic document.
    auto const Protected = Dynamic("live&dynamic&segtimeline&cp&key=000102030405060708090A0B0C0D0E0F");
    EXPECT_EQ(Count(Protected, "<ContentProtection schemeIdUri=\"urn:mpeg:dash:mp4protection:2011\" value=\"cenc\""), 2u);
    EXPECT_EQ(Count(Dynamic("live&dynamic&breaks=18:12&signal=eventstream"), "<EventStream schemeIdUri=\"urn:scte:scte35:2014:xml+bin\""), 1u);
}

TEST_F(DashManifestWriterTest, RegularDynamicFormsAreRefusedWhereTheyCannotApply)
{
    for(auto const& [Text, Message] : std::vector<std::pair<std::string_view, std::string_view>>{
            {"dynamic", R"("dynamic" makes a live presentation's manifest dynamic: give it with "live")"},
            {"live&segtimeline", R"("segtimeline" lists the segments of the regular dynamic manifest: give it with "live&dynamic")"},
            {"live&ll&segtimeline", R"(give it with "live&dynamic")"},
            {"live&ll&dynamic", R"("dynamic" is the regular live manifest and "ll" the low-latency one, both dynamic: give one of them)"},
            {"live&dynamic&breaks=18:12&ads=2", R"(changes mid-stream and ads, which make periods, are in the dynamic manifest of "ll")"},
            {"live&dynamic&disc=12", R"(changes mid-stream and ads, which make periods, are in the dynamic manifest of "ll")"},
            {"live&dynamic&segtimeline=times", R"(Invalid "segtimeline" "times": one of time, number)"},
        })
    {
        auto const Raised = Application::Test::Raised([&] { Manifest(Text); }).second;
        EXPECT_NE(Raised.find(Message), std::string::npos) << Text << ": " << Raised;
    }
    // The HLS playlists do not read them.
    AssetRegistry Registry(m_Defaults);
    EXPECT_FALSE(Registry.Create(ManifestKind::Hls, Query("dynamic&segtimeline"), Start, Start).Dynamic);
}
