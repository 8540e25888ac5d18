// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/AssetRegistry.h"
#include "presentation/ClearKeyLicence.h"
#include "presentation/ContentKeys.h"
#include "presentation/DashManifestWriter.h"
#include "presentation/DashPeriodPlan.h"
#include "presentation/HlsPlaylistWriter.h"
#include "presentation/TestSupport.h"

using namespace Application;
using Application::Test::Query;
using Application::Test::RaisedStatus;

namespace
{
constexpr std::int64_t Second = 10'000'000;
constexpr std::int64_t Start = Application::Test::January2024;
constexpr char const* Key = "key=00112233445566778899AABBCCDDEEFF";

class ChangeAssets : public ::testing::Test
{
protected:
    Configuration& Create(std::string_view Text, ManifestKind Kind = ManifestKind::Hls)
    {
        return m_Registry.Create(Kind, Query(Text), Start, Start);
    }
    // The lines of a text that begin with one of Prefixes, "|"-joined.
    static std::string Pick(std::string const& Text, std::initializer_list<std::string_view> Prefixes)
    {
        std::string Picked;
        std::size_t Begin = 0;
        while(Begin < Text.size())
        {
            auto End = Text.find("\r\n", Begin);
            if(End == std::string::npos)
                End = Text.size();
            std::string_view const Line(Text.data() + Begin, End - Begin);
            for(auto Prefix : Prefixes)
                if(Line.starts_with(Prefix))
                {
                    Picked += StringFormat("%s%.*s", Picked.empty() ? "" : "|", static_cast<int>(Line.size()), Line.data());
                    break;
                }
            Begin = End + 2;
        }
        return Picked;
    }

    // A media playlist in short: its key IDs' last byte, sequence numbers,
    // discontinuities, maps and segment numbers.
    static std::string Summary(std::string const& Text)
    {
        std::string Result;
        auto const Add = [&Result](std::string const& Item) { Result += (Result.empty() ? "" : "|") + Item; };
        for(auto const& Line : Split(Pick(Text, {"#EXT-X-MEDIA-SEQUENCE", "#EXT-X-DISCONTINUITY", "#EXT-X-KEY", "#EXT-X-MAP", "video-body", "audio-body"})))
        {
            if(Line.starts_with("#EXT-X-KEY"))
                Add("KEY " + Line.substr(Line.find("KEYID=0x") + 38, 2));
            else if(Line.starts_with("#EXT-X-MEDIA-SEQUENCE:"))
                Add("SEQ " + Line.substr(22));
            else if(Line.starts_with("#EXT-X-DISCONTINUITY-SEQUENCE:"))
                Add("DSEQ " + Line.substr(30));
            else if(Line == "#EXT-X-DISCONTINUITY")
                Add("DISC");
            else if(Line.starts_with("#EXT-X-MAP"))
                Add(Line.find("&at=") == std::string::npos ? std::string("MAP") : "MAP at=" + Line.substr(Line.find("&at=") + 4, Line.size() - Line.find("&at=") - 5));
            else
                Add(Line.substr(Line.find("index=") + 6));
        }
        return Result;
    }
    static std::vector<std::string> Split(std::string const& Text)
    {
        std::vector<std::string> Parts;
        for(std::size_t Begin = 0; Begin <= Text.size();)
        {
            auto End = Text.find('|', Begin);
            if(End == std::string::npos)
                End = Text.size();
            Parts.push_back(Text.substr(Begin, End - Begin));
            Begin = End + 1;
        }
        return Parts;
    }

    DefaultVariantSets m_Defaults;
    AssetRegistry m_Registry{m_Defaults};
};
} // namespace

TEST(ChangeSchedule, CountsAgreeWithTheTimesOneByOne)
{
    // Every way of counting (the state, the count up to a time, the last
    // change, the changes between) against walking the grid time by time.
    constexpr std::int64_t Grid = 6 * Second;
    ChangeSchedule Schedule;
    Schedule.Set(ChangeKind::Discontinuity, 20 * Second); // snaps to 18 s
    Schedule.Set(ChangeKind::Codec, 10 * Second);         // 12 s
    Schedule.Set(ChangeKind::Key, 3 * Second);            // ties up to 6 s
    Schedule.Set(ChangeKind::ClearLead, 27 * Second);     // 30 s
    Schedule.Snap(Grid);
    EXPECT_EQ(Schedule.Text(), "disc180000000,codec120000000,clear300000000,key60000000");
    for(std::uint32_t Kinds : {AllChanges, VideoDiscontinuities, AudioDiscontinuities, AudioHeaderChanges})
    {
        std::int64_t Count = 0;
        std::int64_t Last = 0;
        std::vector<std::int64_t> Times;
        for(std::int64_t Time = Grid; Time <= 200 * Grid; Time += Grid)
        {
            if(Schedule.KindsAt(Time) & Kinds)
            {
                ++Count;
                Last = Time;
                Times.push_back(Time);
            }
            ASSERT_EQ(Schedule.CountUpTo(Time, Kinds), Count) << Kinds << " at " << Time;
            ASSERT_EQ(Schedule.LastUpTo(Time + Grid / 2, Kinds), Last) << Kinds << " at " << Time;
        }
        EXPECT_EQ(Schedule.Between(0, 200 * Grid + 1, Kinds), Times) << Kinds;
    }
    auto const State = Schedule.At(40 * Second);
    EXPECT_EQ(State.Origin, 36 * Second);
    EXPECT_TRUE(State.OtherCodec); // 36 s is the third multiple of 12 s
    EXPECT_FALSE(State.Clear);
    EXPECT_EQ(State.KeyEpoch, 6u);
    EXPECT_EQ(State.Number, 6u) << "a key every 6 s; the other changes fall on the same times";
}

TEST(ContentKeys, LaterKeysFollowFromTheFirst)
{
    Configuration Asset(0, 0, Query(std::string(Key) + "&rotate=6&duration=60&audiokey=0F0E0D0C0B0A09080706050403020100"), 0);
    Asset.Changes.Snap(6 * Second);
    auto const First = ContentKeys::Of(Asset, KeyTrack::Video, 0);
    EXPECT_EQ(First.Id, FixedKeyId);
    EXPECT_EQ(Configuration::FormatBase16(First.Key), "00112233445566778899AABBCCDDEEFF");
    // openssl enc -aes-128-ecb -nopad -K <key> of the key ID A3F1...3A41.
    auto const Second = ContentKeys::Of(Asset, KeyTrack::Video, 1);
    EXPECT_EQ(Configuration::FormatBase16(Second.Id), "A3F1C6D2847B4E09B5E2D7C8196F3A41");
    EXPECT_EQ(Configuration::FormatBase16(Second.Key), "BB9F526230C2DE0A4640B272E966998B");
    auto const Audio = ContentKeys::Of(Asset, KeyTrack::Audio, 0);
    EXPECT_EQ(Configuration::FormatBase16(Audio.Id), "5CF1C6D2847B4E09B5E2D7C8196F3A40");
    EXPECT_EQ(Configuration::FormatBase16(Audio.Key), "0F0E0D0C0B0A09080706050403020100");
    // Every key of the asset is found by its ID, and no other: ten epochs of 6 s.
    for(auto const Track : {KeyTrack::Video, KeyTrack::Audio})
        for(std::uint32_t Epoch = 0; Epoch < 10; ++Epoch)
        {
            auto const Expected = ContentKeys::Of(Asset, Track, Epoch);
            auto const Found = ContentKeys::Find(Asset, Expected.Id);
            ASSERT_TRUE(Found.has_value()) << Epoch;
            EXPECT_EQ(Found->Key, Expected.Key);
        }
    EXPECT_FALSE(ContentKeys::Find(Asset, ContentKeys::IdOf(Asset, KeyTrack::Video, 10)).has_value()) << "past the end";
    // A licence names each key asked for, once.
    auto const Licence = ClearKeyLicence::Answer(Asset, "{\"kids\":[\"o_HG0oR7Tgm14tfIGW86QQ\",\"o_HG0oR7Tgm14tfIGW86QQ\",\"XPHG0oR7Tgm14tfIGW86QA\"]}");
    EXPECT_EQ(Licence, "{\"keys\":[{\"kty\":\"oct\",\"kid\":\"o_HG0oR7Tgm14tfIGW86QQ\",\"k\":\"u59SYjDC3gpGQLJy6WaZiw\"},"
                       "{\"kty\":\"oct\",\"kid\":\"XPHG0oR7Tgm14tfIGW86QA\",\"k\":\"Dw4NDAsKCQgHBgUEAwIBAA\"}],\"type\":\"temporary\"}");
}

TEST_F(ChangeAssets, RefusesWhatCannotChange)
{
    for(std::string_view Text : {"rotate=6", "clearlead=6", "audiokey=00112233445566778899AABBCCDDEEFF", "codecswitch=6:vp8", "codecswitch=x"})
        EXPECT_EQ(RaisedStatus([&] { Create(Text); }), FailureCode::ChangesInvalid) << Text;
    EXPECT_EQ(RaisedStatus([&] { Create("live&disc=30", ManifestKind::Dash); }), FailureCode::ChangesInvalid) << "the static live document";
    EXPECT_EQ(RaisedStatus([&] { Create("duration=7200&disc=6", ManifestKind::Dash); }), FailureCode::ChangesInvalid) << "1,200 periods";
    EXPECT_EQ(RaisedStatus([&] { Create("disc=0"); }), E_INVALIDARG);
}

TEST_F(ChangeAssets, Av1AndVp9RowsComeWithTheirFlagOrTheCodecSwitch)
{
    struct Case
    {
        std::string_view Text;
        ManifestKind Kind;
        VideoSubtype Rows;
        std::optional<VideoSubtype> Other;
    };
    for(auto const& [Text, Kind, Rows, Other] : {
            Case{"av1", ManifestKind::Hls, VideoSubtype::Av1, std::nullopt},
            Case{"av1", ManifestKind::Dash, VideoSubtype::Av1, std::nullopt},
            Case{"codecswitch=12", ManifestKind::Hls, VideoSubtype::H264, VideoSubtype::Hevc},
            Case{"codecswitch=12:av1", ManifestKind::Hls, VideoSubtype::H264, VideoSubtype::Av1},
            Case{"codecswitch=12:av1", ManifestKind::Dash, VideoSubtype::H264, VideoSubtype::Av1},
            Case{"hvc1&codecswitch=12:av1", ManifestKind::Hls, VideoSubtype::Hevc, VideoSubtype::Av1},
            // Already AV1: the switch alternates with H.264.
            Case{"av1&codecswitch=12:av1", ManifestKind::Dash, VideoSubtype::Av1, VideoSubtype::H264},
            Case{"vp9", ManifestKind::Hls, VideoSubtype::Vp9, std::nullopt},
            Case{"vp9&key=00112233445566778899AABBCCDDEEFF", ManifestKind::Dash, VideoSubtype::Vp9, std::nullopt},
            Case{"codecswitch=12:vp9", ManifestKind::Dash, VideoSubtype::H264, VideoSubtype::Vp9},
            Case{"vp9&codecswitch=12:vp9", ManifestKind::Hls, VideoSubtype::Vp9, VideoSubtype::H264},
            Case{"vp9&codecswitch=12", ManifestKind::Hls, VideoSubtype::Vp9, VideoSubtype::Hevc},
        })
    {
        auto const& Asset = Create(Text, Kind);
        ASSERT_EQ(Asset.VariantSet.VideoVariants.size(), 2u) << Text;
        for(auto const& Variant : Asset.VariantSet.VideoVariants)
            EXPECT_EQ(Variant.Subtype, Rows) << Text;
        EXPECT_EQ(Asset.OtherCodecVariants.empty(), !Other) << Text;
        for(auto const& Variant : Asset.OtherCodecVariants)
            EXPECT_EQ(Variant.Subtype, *Other) << Text;
    }
    // Neither carries captions; one codec flag at most.
    for(std::string const& Text : {std::string("av1&cc=608"), std::string("codecswitch=6:av1&cc=608"),
                                  std::string("av1&hvc1"), std::string("vp9&cc=608"), std::string("codecswitch=6:vp9&cc=608,708"), std::string("vp9&hvc1"),
                                  std::string("vp9&av1")})
        EXPECT_EQ(RaisedStatus([&] { Create(Text); }), E_INVALIDARG) << Text;
}

TEST_F(ChangeAssets, HdrRowsAreHevcUnlessAv1IsAskedFor)
{
    struct Case
    {
        std::string_view Text;
        ManifestKind Kind;
        VideoSubtype Rows;
        DynamicRange Range;
    };
    for(auto const& [Text, Kind, Rows, Range] : {
            Case{"hdr=pq", ManifestKind::Hls, VideoSubtype::Hevc, DynamicRange::Pq},
            Case{"hdr=hlg", ManifestKind::Dash, VideoSubtype::Hevc, DynamicRange::Hlg},
            Case{"hdr=pq&hvc1", ManifestKind::Hls, VideoSubtype::Hevc, DynamicRange::Pq},
            Case{"hdr=hlg&av1", ManifestKind::Hls, VideoSubtype::Av1, DynamicRange::Hlg},
            Case{"hdr=pq&av1", ManifestKind::Dash, VideoSubtype::Av1, DynamicRange::Pq},
        })
    {
        auto const& Asset = Create(Text, Kind);
        ASSERT_EQ(Asset.VariantSet.VideoVariants.size(), 2u) << Text;
        for(auto const& Variant : Asset.VariantSet.VideoVariants)
            EXPECT_EQ(std::pair(Variant.Subtype, Variant.Range), std::pair(Rows, Range)) << Text;
    }
    // VP9 and the codec switch stay 8-bit; the choice is one of two.
    for(std::string_view Text : {"hdr=pq&vp9", "hdr=hdr10", "hdr="})
        EXPECT_EQ(RaisedStatus([&] { Create(Text); }), E_INVALIDARG) << Text;
    for(std::string_view Text : {"hdr=hlg&codecswitch=12", "hdr=pq&av1&codecswitch=12:av1"})
        EXPECT_EQ(RaisedStatus([&] { Create(Text); }), FailureCode::ChangesInvalid) << Text;
}

TEST_F(ChangeAssets, LivePlaylistsMarkEveryChangeAsTheWindowSlides)
{
    // Timestamps restart every 12 s, a new key every 6 s; a window of 12 s.
    auto& Asset = Create(std::string(Key) + "&live&lv=12&disc=12&rotate=6&keyformat=cp");
    auto const Video = [&](std::int64_t Elapsed) {
        return Summary(HlsPlaylistWriter::Video(Asset, Asset.VariantSet.VideoVariants[0], 0, Start + Elapsed));
    };
    EXPECT_EQ(Video(40 * Second), "KEY 44|SEQ 9|DSEQ 2|MAP at=8|9|KEY 45|MAP at=10|10|11|DISC|KEY 46|MAP at=12|12");
    // Three seconds on, the window has slid past segment 9: the count stays,
    // the map and key of segment 10 move to the top.
    EXPECT_EQ(Video(43 * Second), "KEY 45|SEQ 10|DSEQ 2|MAP at=10|10|11|DISC|KEY 46|MAP at=12|12|13");
    EXPECT_EQ(Video(52 * Second), "KEY 46|SEQ 13|DSEQ 3|MAP at=12|13|KEY 47|MAP at=14|14|15|DISC|KEY 48|MAP at=16|16");
    // Audio changes at the same times, on its own segment numbers.
    EXPECT_EQ(Summary(HlsPlaylistWriter::Audio(Asset, Asset.VariantSet.AudioVariants.front(), Start + 40 * Second)), "KEY 44|SEQ 4|DSEQ 2|MAP at=4|4|KEY 45|MAP at=5|5");
}

TEST_F(ChangeAssets, DashPeriodsBeginAtEveryChange)
{
    auto const& Asset = Create(std::string(Key) + "&duration=24&disc=12&rotate=12&cp&audiokey=0F0E0D0C0B0A09080706050403020100", ManifestKind::Dash);
    auto const Text = DashManifestWriter(Asset, false, false, "http://licence").Write();
    // Each period: its key IDs (video, audio), its media time at the start,
    // its initialisation segments and the segment its first number names.
    std::string Found;
    for(std::string_view Name : {"<Period id=", "default_KID=", "presentationTimeOffset=", "initialization=", "baseIndex="})
        for(std::size_t At = Text.find(Name); At != std::string::npos; At = Text.find(Name, At + 1))
            Found += std::string(Name) + Text.substr(At + Name.size(), Text.find_first_of("\"&", At + Name.size() + 1) - At - Name.size()) + " ";
    EXPECT_EQ(Found, "<Period id=\"0 <Period id=\"1 "
                     "default_KID=\"a3f1c6d2-847b-4e09-b5e2-d7c8196f3a40 default_KID=\"5cf1c6d2-847b-4e09-b5e2-d7c8196f3a40 "
                     "default_KID=\"a3f1c6d2-847b-4e09-b5e2-d7c8196f3a41 default_KID=\"5cf1c6d2-847b-4e09-b5e2-d7c8196f3a41 "
                     "presentationTimeOffset=\"0 presentationTimeOffset=\"0 presentationTimeOffset=\"0 presentationTimeOffset=\"0 "
                     "initialization=\"video-header.mp4?asset=1 initialization=\"audio-header.mp4?asset=1 "
                     "initialization=\"video-header.mp4?asset=1 initialization=\"audio-header.mp4?asset=1 "
                     "baseIndex=1 baseIndex=1 baseIndex=-3 baseIndex=-1 ");
    EXPECT_NE(Text.find("initialization=\"video-header.mp4?asset=1&amp;variant=0&amp;at=4\""), std::string::npos);
    EXPECT_NE(Text.find("initialization=\"audio-header.mp4?asset=1&amp;at=2\""), std::string::npos);
}

TEST_F(ChangeAssets, KeysSaidInTheFragmentsLeaveThePeriodsToTheOtherChanges)
{
    auto const& Asset = Create(std::string(Key) + "&duration=24&disc=12&clearlead=6&rotate=6&inband&cp", ManifestKind::Dash);
    auto const Plans = DashPeriodPlan::ForAsset(Asset);
    ASSERT_EQ(Plans.size(), 2u) << "the restart at 12 s only";
    auto const Text = DashManifestWriter(Asset, false, false, "http://licence").Write();
    // Every period names the first key, and one initialisation segment serves all.
    EXPECT_EQ(Text.find("default_KID=\"a3f1c6d2-847b-4e09-b5e2-d7c8196f3a41\""), std::string::npos);
    EXPECT_EQ(Text.find("&amp;at="), std::string::npos);
    EXPECT_EQ(RaisedStatus([&] { Create(std::string(Key) + "&disc=12&inband", ManifestKind::Dash); }), FailureCode::ChangesInvalid);
}
