// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AssetRegistry.h"
#include "presentation/Base64.h"
#include "presentation/HlsPlaylistWriter.h"
#include "presentation/PlayReadyHeader.h"

#include "base/StringFormat.h"
#include "presentation/TestSupport.h"

using namespace Application;
using Application::Test::Lines;
using Application::Test::Query;

namespace
{
constexpr std::int64_t Second = 10'000'000;
constexpr std::int64_t Start = Application::Test::January2024;

class HlsPlaylistWriterTest : public ::testing::Test
{
protected:
    HlsPlaylistWriterTest()
    {
        // Stand-ins for the texts the encoding probes learn.
        for(auto& Variant : m_Defaults.H264.VideoVariants)
            Variant.Codecs = "VIDEO-CODECS";
        m_Defaults.H264.AudioVariants[0].Codecs = "AUDIO-CODECS";
    }
    Configuration& Create(std::string_view Text) { return m_Registry.Create(ManifestKind::Hls, Query(Text), Start - 10 * Second, Start); }
    std::string Master(std::string_view Text) { return HlsPlaylistWriter::Master(Create(Text), Start); }

    DefaultVariantSets m_Defaults;
    AssetRegistry m_Registry{m_Defaults};
};

// The PlayReady tag of a "cenc" asset with key 000102...0F: the header
// object (PlayReadyHeaderTest's) in base64.
std::string const PlayReadyCenc =
    "#EXT-X-KEY:METHOD=SAMPLE-AES-CTR,URI=\"data:text/plain;charset=UTF-16;base64," +
    EncodeBase64(PlayReadyHeader::BuildObject(EncryptionScheme::Cenc, FixedKeyId, std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})) +
    "\",KEYFORMAT=\"com.microsoft.playready\",KEYFORMATVERSIONS=\"1\"";
} // namespace

TEST_F(HlsPlaylistWriterTest, DefaultMasterPlaylist)
{
    EXPECT_EQ(Master(""),
              Lines({"#EXTM3U",
                     "#EXT-X-STREAM-INF:BANDWIDTH=2400000,RESOLUTION=1280x720,FRAME-RATE=25.000,CODECS=\"VIDEO-CODECS,AUDIO-CODECS\",AUDIO=\"audio\"",
                     "video.m3u8?asset=1&variant=0",
                     "#EXT-X-STREAM-INF:BANDWIDTH=995000,RESOLUTION=960x540,FRAME-RATE=1.000,CODECS=\"VIDEO-CODECS,AUDIO-CODECS\",AUDIO=\"audio\"",
                     "video.m3u8?asset=1&variant=1",
                     "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"audio\",LANGUAGE=\"en\",NAME=\"English\",AUTOSELECT=YES,DEFAULT=YES,CHANNELS=\"2\",BANDWIDTH=128000,"
                     "CODECS=\"AUDIO-CODECS\",URI=\"audio.m3u8?asset=1\""}));
}

TEST_F(HlsPlaylistWriterTest, MasterPlaylistVariations)
{
    EXPECT_EQ(Master("novideo"), Lines({"#EXTM3U", "#EXT-X-STREAM-INF:BANDWIDTH=128000,CODECS=\"AUDIO-CODECS\"", "audio.m3u8?asset=1"}));
    // "noaudio": no AUDIO attribute and video codecs alone, the rendition stays.
    EXPECT_EQ(Master("noaudio"),
              Lines({"#EXTM3U", "#EXT-X-STREAM-INF:BANDWIDTH=2400000,RESOLUTION=1280x720,FRAME-RATE=25.000,CODECS=\"VIDEO-CODECS\"", "video.m3u8?asset=2&variant=0",
                     "#EXT-X-STREAM-INF:BANDWIDTH=995000,RESOLUTION=960x540,FRAME-RATE=1.000,CODECS=\"VIDEO-CODECS\"", "video.m3u8?asset=2&variant=1",
                     "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"audio\",LANGUAGE=\"en\",NAME=\"English\",AUTOSELECT=YES,DEFAULT=YES,CHANNELS=\"2\",BANDWIDTH=128000,"
                     "CODECS=\"AUDIO-CODECS\",URI=\"audio.m3u8?asset=2\""}));
    // The HEVC rows have not been probed here and "flac" drops the AAC text:
    // without codecs texts the CODECS items are left out.
    EXPECT_EQ(Master("hvc1&flac"),
              Lines({"#EXTM3U", "#EXT-X-STREAM-INF:BANDWIDTH=2400000,RESOLUTION=1280x720,FRAME-RATE=25.000,AUDIO=\"audio\"", "video.m3u8?asset=3&variant=0",
                     "#EXT-X-STREAM-INF:BANDWIDTH=995000,RESOLUTION=960x540,FRAME-RATE=1.000,AUDIO=\"audio\"", "video.m3u8?asset=3&variant=1",
                     "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"audio\",LANGUAGE=\"en\",NAME=\"English\",AUTOSELECT=YES,DEFAULT=YES,CHANNELS=\"2\",BANDWIDTH=128000,"
                     "URI=\"audio.m3u8?asset=3\""}));
}

// "audio=ec3,aac": an audio group per codec, every video variant once with
// each, its CODECS naming its group's audio; the rows' URLs name their codec.
TEST_F(HlsPlaylistWriterTest, AudioAlternativesMakeAGroupEach)
{
    m_Defaults.H264.VideoVariants.pop_back();
    auto& Asset = Create("audio=ec3,aac");
    Asset.VariantSet.AudioVariants[0].Codecs = "ec-3";
    EXPECT_EQ(HlsPlaylistWriter::Master(Asset, Start),
              Lines({"#EXTM3U",
                     "#EXT-X-STREAM-INF:BANDWIDTH=2400000,RESOLUTION=1280x720,FRAME-RATE=25.000,CODECS=\"VIDEO-CODECS,ec-3\",AUDIO=\"audio-ec3\"",
                     "video.m3u8?asset=1&variant=0",
                     "#EXT-X-STREAM-INF:BANDWIDTH=2400000,RESOLUTION=1280x720,FRAME-RATE=25.000,CODECS=\"VIDEO-CODECS,AUDIO-CODECS\",AUDIO=\"audio-aac\"",
                     "video.m3u8?asset=1&variant=0",
                     "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"audio-ec3\",LANGUAGE=\"en\",NAME=\"English\",AUTOSELECT=YES,DEFAULT=YES,CHANNELS=\"2\",BANDWIDTH=128000,"
                     "CODECS=\"ec-3\",URI=\"audio.m3u8?asset=1&audio=ec3\"",
                     "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"audio-aac\",LANGUAGE=\"en\",NAME=\"English\",AUTOSELECT=YES,DEFAULT=YES,CHANNELS=\"2\",BANDWIDTH=128000,"
                     "CODECS=\"AUDIO-CODECS\",URI=\"audio.m3u8?asset=1&audio=aac\""}));
    auto const Playlist = HlsPlaylistWriter::Audio(Asset, Asset.VariantSet.AudioVariants[0], Start);
    EXPECT_NE(Playlist.find("#EXT-X-MAP:URI=\"audio-header.mp4?asset=1&audio=ec3\"\r\n#EXTINF:6.000,\r\naudio-body.mp4?asset=1&audio=ec3&index=0\r\n"),
              std::string::npos);
    // Audio alone: a variant a row. AC-3 runs at 192 kbit/s.
    EXPECT_EQ(Master("novideo&audio=aac,ac3"), Lines({"#EXTM3U", "#EXT-X-STREAM-INF:BANDWIDTH=128000,CODECS=\"AUDIO-CODECS\"", "audio.m3u8?asset=2&audio=aac",
                                                      "#EXT-X-STREAM-INF:BANDWIDTH=192000", "audio.m3u8?asset=2&audio=ac3"}));
}

TEST_F(HlsPlaylistWriterTest, OnDemandMediaPlaylists)
{
    auto const& Asset = Create("atd=4.5");
    EXPECT_EQ(HlsPlaylistWriter::Video(Asset, Asset.VariantSet.VideoVariants[1], 0, Start),
              Lines({"#EXTM3U", "#EXT-X-VERSION:6", "#EXT-X-PLAYLIST-TYPE:VOD", "#EXT-X-TARGETDURATION:3.000", "#EXT-X-MEDIA-SEQUENCE:0",
                     "#EXT-X-MAP:URI=\"video-header.mp4?asset=1&variant=1\"", "#EXTINF:3.000,", "video-body.mp4?asset=1&variant=1&index=0", "#EXTINF:3.000,",
                     "video-body.mp4?asset=1&variant=1&index=1", "#EXTINF:3.000,", "video-body.mp4?asset=1&variant=1&index=2", "#EXTINF:3.000,",
                     "video-body.mp4?asset=1&variant=1&index=3", "#EXTINF:3.000,", "video-body.mp4?asset=1&variant=1&index=4", "#EXTINF:3.000,",
                     "video-body.mp4?asset=1&variant=1&index=5", "#EXT-X-ENDLIST"}));
    EXPECT_EQ(HlsPlaylistWriter::Audio(Asset, Asset.VariantSet.AudioVariants.front(), Start),
              Lines({"#EXTM3U", "#EXT-X-VERSION:6", "#EXT-X-PLAYLIST-TYPE:VOD", "#EXT-X-TARGETDURATION:4.500", "#EXT-X-MEDIA-SEQUENCE:0",
                     "#EXT-X-INDEPENDENT-SEGMENTS", "#EXT-X-MAP:URI=\"audio-header.mp4?asset=1\"", "#EXTINF:6.000,", "audio-body.mp4?asset=1&index=0",
                     "#EXTINF:6.000,", "audio-body.mp4?asset=1&index=1", "#EXTINF:6.000,", "audio-body.mp4?asset=1&index=2", "#EXT-X-ENDLIST"}));
    auto const& Flac = Create("flac&vtd=2.25");
    EXPECT_EQ(HlsPlaylistWriter::Audio(Flac, Flac.VariantSet.AudioVariants.front(), Start),
              Lines({"#EXTM3U", "#EXT-X-VERSION:6", "#EXT-X-PLAYLIST-TYPE:VOD", "#EXT-X-TARGETDURATION:6.400", "#EXT-X-MEDIA-SEQUENCE:0",
                     "#EXT-X-INDEPENDENT-SEGMENTS", "#EXT-X-MAP:URI=\"audio-header.mp4?asset=2\"", "#EXTINF:6.400,", "audio-body.mp4?asset=2&index=0",
                     "#EXTINF:6.400,", "audio-body.mp4?asset=2&index=1", "#EXTINF:5.200,", "audio-body.mp4?asset=2&index=2", "#EXT-X-ENDLIST"}));
    EXPECT_NE(HlsPlaylistWriter::Video(Flac, Flac.VariantSet.VideoVariants[0], -5, Start).find("#EXT-X-TARGETDURATION:2.250\r\n#EXT-X-MEDIA-SEQUENCE:0\r\n"
                                                                                                "#EXT-X-MAP:URI=\"video-header.mp4?asset=2&variant=0\"\r\n"
                                                                                                "#EXTINF:3.000,\r\nvideo-body.mp4?asset=2&variant=0&index=0\r\n"
                                                                                                "#EXT-X-ENDLIST\r\n"),
              std::string::npos);
}

TEST_F(HlsPlaylistWriterTest, LiveMediaPlaylists)
{
    auto& Asset = Create("live&duration=30&pdt=6&lv=9");
    HlsPlaylistWriter::Master(Asset, Start); // end point: 10 s + 30 s
    EXPECT_EQ(HlsPlaylistWriter::Video(Asset, Asset.VariantSet.VideoVariants[0], 0, Start + 11 * Second),
              Lines({"#EXTM3U", "#EXT-X-VERSION:6", "#EXT-X-TARGETDURATION:3.000", "#EXT-X-MEDIA-SEQUENCE:4", "#EXT-X-MAP:URI=\"video-header.mp4?asset=1&variant=0\"",
                     "#EXT-X-PROGRAM-DATE-TIME:2024-01-01T00:00:02.000Z", "#EXTINF:3.000,", "video-body.mp4?asset=1&variant=0&index=4", "#EXTINF:3.000,",
                     "video-body.mp4?asset=1&variant=0&index=5", "#EXT-X-PROGRAM-DATE-TIME:2024-01-01T00:00:08.000Z", "#EXTINF:3.000,",
                     "video-body.mp4?asset=1&variant=0&index=6"}));
    EXPECT_EQ(HlsPlaylistWriter::Audio(Asset, Asset.VariantSet.AudioVariants.front(), Start + 33 * Second),
              Lines({"#EXTM3U", "#EXT-X-VERSION:6", "#EXT-X-TARGETDURATION:6.000", "#EXT-X-MEDIA-SEQUENCE:5", "#EXT-X-MAP:URI=\"audio-header.mp4?asset=1\"",
                     "#EXT-X-PROGRAM-DATE-TIME:2024-01-01T00:00:20.000Z", "#EXTINF:6.000,", "audio-body.mp4?asset=1&index=5",
                     "#EXT-X-PROGRAM-DATE-TIME:2024-01-01T00:00:26.000Z", "#EXTINF:6.000,", "audio-body.mp4?asset=1&index=6", "#EXT-X-ENDLIST"}));
}

TEST_F(HlsPlaylistWriterTest, KeyTagsFollowTheKeyFormat)
{
    auto Tags = [&](std::string_view Text) { return HlsPlaylistWriter::KeyTags(Create(Text)); };
    std::string const Key = "key=000102030405060708090A0B0C0D0E0F";
    std::string const KeyUri = "#EXT-X-KEY:METHOD=SAMPLE-AES-CTR,URI=\"key?asset=%u\",KEYID=0xA3F1C6D2847B4E09B5E2D7C8196F3A40,IV=0x5C2E9A17B3D04F68E1A7C93B2D5F0A84";
    EXPECT_EQ(Tags(Key), (std::vector<std::string>{PlayReadyCenc}));
    EXPECT_EQ(Tags(Key + "&keyformat=c"), (std::vector<std::string>{StringFormat(KeyUri.c_str(), 2u), PlayReadyCenc}));
    EXPECT_EQ(Tags(Key + "&keyformat=cp"), (std::vector<std::string>{StringFormat(KeyUri.c_str(), 3u)}));
    EXPECT_TRUE(Tags(Key + "&keyformat=p").empty());
    EXPECT_TRUE(Tags("keyformat=c").empty());
    auto const Cbcs = Tags(Key + "&scheme=cbcs&initializationvector=00000000000000000000000000000001&keyformat=c");
    ASSERT_EQ(Cbcs.size(), 2u);
    // 'cbcs' is SAMPLE-AES on fragmented MP4, in both tags.
    EXPECT_EQ(Cbcs[0], StringFormat("#EXT-X-KEY:METHOD=SAMPLE-AES,URI=\"key?asset=%u\",KEYID=0xA3F1C6D2847B4E09B5E2D7C8196F3A40,IV=0x00000000000000000000000000000001", 6u));
    EXPECT_TRUE(Cbcs[1].starts_with("#EXT-X-KEY:METHOD=SAMPLE-AES,URI=\"data:text/plain;charset=UTF-16;base64,")) << Cbcs[1];
    EXPECT_NE(Cbcs[1], PlayReadyCenc);

    // The tags sit right after the version line of both media playlists.
    auto const& Asset = Create(Key + "&keyformat=c");
    auto const Playlist = HlsPlaylistWriter::Audio(Asset, Asset.VariantSet.AudioVariants.front(), Start);
    EXPECT_TRUE(Playlist.starts_with("#EXTM3U\r\n#EXT-X-VERSION:6\r\n#EXT-X-KEY:METHOD=SAMPLE-AES-CTR,URI=\"key?asset=7\"")) << Playlist;
}

// "iframes": after the streams, one I-frame stream a video row (not one a
// stream: key pictures have no audio), with the row's pictures' size and
// codecs alone.
TEST_F(HlsPlaylistWriterTest, IFrameStreamsFollowTheVariants)
{
    EXPECT_EQ(Master("iframes"),
              Lines({"#EXTM3U",
                     "#EXT-X-STREAM-INF:BANDWIDTH=2400000,RESOLUTION=1280x720,FRAME-RATE=25.000,CODECS=\"VIDEO-CODECS,AUDIO-CODECS\",AUDIO=\"audio\"",
                     "video.m3u8?asset=1&variant=0",
                     "#EXT-X-STREAM-INF:BANDWIDTH=995000,RESOLUTION=960x540,FRAME-RATE=1.000,CODECS=\"VIDEO-CODECS,AUDIO-CODECS\",AUDIO=\"audio\"",
                     "video.m3u8?asset=1&variant=1",
                     "#EXT-X-I-FRAME-STREAM-INF:BANDWIDTH=360000,RESOLUTION=1280x720,CODECS=\"VIDEO-CODECS\",URI=\"iframes.m3u8?asset=1&variant=0\"",
                     "#EXT-X-I-FRAME-STREAM-INF:BANDWIDTH=414583,RESOLUTION=960x540,CODECS=\"VIDEO-CODECS\",URI=\"iframes.m3u8?asset=1&variant=1\"",
                     "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"audio\",LANGUAGE=\"en\",NAME=\"English\",AUTOSELECT=YES,DEFAULT=YES,CHANNELS=\"2\",BANDWIDTH=128000,"
                     "CODECS=\"AUDIO-CODECS\",URI=\"audio.m3u8?asset=1\""}));
    for(std::string_view Refused : {"iframes&novideo", "iframes&live&ll"})
        EXPECT_EQ(Application::Test::RaisedStatus([&] { Create(Refused); }), E_INVALIDARG) << Refused;
    // An on-demand "ll" is no low latency.
    EXPECT_TRUE(Create("iframes&ll").IFrames);
}

TEST_F(HlsPlaylistWriterTest, IFramePlaylistOfAnOnDemandAsset)
{
    auto const& Asset = Create("iframes&duration=6");
    EXPECT_EQ(HlsPlaylistWriter::IFrames(Asset, Asset.VariantSet.VideoVariants[0], Start),
              Lines({"#EXTM3U", "#EXT-X-VERSION:6", "#EXT-X-PLAYLIST-TYPE:VOD", "#EXT-X-TARGETDURATION:3.000", "#EXT-X-MEDIA-SEQUENCE:0", "#EXT-X-I-FRAMES-ONLY",
                     "#EXT-X-MAP:URI=\"video-header.mp4?asset=1&variant=0\"", "#EXTINF:3.000,", "video-body.mp4?asset=1&variant=0&iframe&index=0", "#EXTINF:3.000,",
                     "video-body.mp4?asset=1&variant=0&iframe&index=1", "#EXT-X-ENDLIST"}));
    // The breaks stay with the media playlists: a trick-play view schedules no ads.
    auto const& Breaks = Create("iframes&breaks=6:3");
    EXPECT_NE(HlsPlaylistWriter::Video(Breaks, Breaks.VariantSet.VideoVariants[0], 0, Start).find("#EXT-X-DATERANGE:"), std::string::npos);
    EXPECT_EQ(HlsPlaylistWriter::IFrames(Breaks, Breaks.VariantSet.VideoVariants[0], Start).find("#EXT-X-DATERANGE:"), std::string::npos);
}

// An I-frame playlist is its row's playlist with the I-frames-only tag and
// the key pictures' URLs: the same window, numbers, date-times,
// discontinuities, maps and keys, live or not.
TEST_F(HlsPlaylistWriterTest, IFramePlaylistsFollowTheirRowsPlaylist)
{
    auto const Expected = [](std::string Video) {
        std::size_t At = Video.find("\r\n", Video.find("#EXT-X-MEDIA-SEQUENCE:")) + 2;
        if(Video.compare(At, 30, "#EXT-X-DISCONTINUITY-SEQUENCE:") == 0)
            At = Video.find("\r\n", At) + 2;
        Video.insert(At, "#EXT-X-I-FRAMES-ONLY\r\n");
        for(At = Video.find("&index="); At != std::string::npos; At = Video.find("&index=", At + 14))
            Video.replace(At, 7, "&iframe&index=");
        return Video;
    };
    std::string const Key = "&key=000102030405060708090A0B0C0D0E0F";
    for(std::string const& Query : {std::string("iframes"), std::string("iframes&live&pdt=3&lv=12"), "iframes&live&lv=30&disc=12&codecswitch=24&rotate=12" + Key,
                                   "iframes&duration=30&sizeswitch=12&clearlead=6" + Key})
    {
        auto& Asset = Create(Query);
        HlsPlaylistWriter::Master(Asset, Start);
        for(auto const& Variant : Asset.VariantSet.VideoVariants)
            for(std::int64_t const Later : {std::int64_t{0}, 41 * Second})
                EXPECT_EQ(HlsPlaylistWriter::IFrames(Asset, Variant, Start + Later), Expected(HlsPlaylistWriter::Video(Asset, Variant, 0, Start + Later)))
                    << Query << " variant " << Variant.Index << " at " << Later;
    }
}
