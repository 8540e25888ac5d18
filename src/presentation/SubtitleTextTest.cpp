// SPDX-License-Identifier: GPL-2.0-or-later
// The texts of the generated subtitle tracks: language tags and names, the
// cues, the WebVTT and IMSC1 writers, and the options that ask for them.
#include "presentation/AssetRegistry.h"
#include "presentation/Configuration.h"
#include "presentation/ImscWriter.h"
#include "presentation/LanguageTag.h"
#include "presentation/SubtitleCues.h"
#include "presentation/WebVttWriter.h"

#include "base/FailureCodes.h"
#include "base/MediaTime.h"
#include "presentation/TestSupport.h"

using namespace Application;
using namespace Application::Test;

namespace
{
constexpr std::int64_t Second = TimeUnitsPerSecond;
constexpr std::int64_t Millisecond = TimeUnitsPerSecond / 1000;
} // namespace

TEST(LanguageTag, WellFormedTags)
{
    struct Case
    {
        std::string_view Tag;
        bool WellFormed;
    };
    Case const Cases[]{
        {"en", true},           {"sv", true},          {"en-US", true},         {"zh-Hant-TW", true},      {"es-419", true},
        {"de-CH-1996", true},   {"sl-rozaj-biske", true}, {"en-x-test", true},  {"en-a-bbb-x-a", true},    {"yue", true},
        {"zh-yue-HK", true},    {"EN-us", true},       {"english", true},
        {"", false},            {"e", false},          {"abcd", false},         {"en-", false},            {"-en", false},
        {"en--US", false},      {"en_US", false},      {"123", false},          {"en-a", false},           {"en-x", false},
        {"en-a-b", false},      {"en-US-abcdefghi", false}, {"en-US-abc", true}, {"en-U$", false},         {"en,sv", false},
        {"abcdefghi", false},   {"en US", false},      {"ja-Jpan-JP-x-aaaaaaaa-bbbbbbbb-cccc", true},
        {"ja-Jpan-JP-x-aaaaaaaa-bbbbbbbb-ccccc", false}, // 36 characters
    };
    for(auto const& [Tag, WellFormed] : Cases)
        EXPECT_EQ(LanguageTag::IsWellFormed(Tag), WellFormed) << Tag;
}

TEST(LanguageTag, NativeNamesByPrimaryLanguage)
{
    std::pair<std::string_view, std::string_view> const Cases[]{
        {"en", "English"}, {"sv", "Svenska"}, {"de-AT", "Deutsch"}, {"FR", "Français"}, {"es-419", "Español"}, {"ja", "日本語"}, {"tlh", "tlh"}, {"x-y", "x-y"},
    };
    for(auto const& [Tag, Name] : Cases)
        EXPECT_EQ(LanguageTag::NativeName(Tag), Name) << Tag;
}

TEST(SubtitleCues, OneCueEverySecondNamingItsTime)
{
    SubtitleCues const OnDemand("sv", 900 * Millisecond, 2 * Second, std::nullopt);
    auto const Cue = OnDemand.At(3725);
    EXPECT_EQ(Cue.Start, 3725 * Second);
    EXPECT_EQ(Cue.End, 3725 * Second + 900 * Millisecond);
    EXPECT_EQ(Cue.Text, "Svenska\n01:02:05.000 segment 1862");
    // Live: the UTC time the cue shows at, from the live time base.
    SubtitleCues const Live("en", 100 * Millisecond, 2 * Second, UnixEpochAbsoluteTime + 1'700'000'000 * Second);
    EXPECT_EQ(Live.At(7).Text, "English\n00:00:07.000 segment 3\n2023-11-14T22:13:27.000Z");
}

TEST(SubtitleCues, SegmentsHoldTheCuesShownInThem)
{
    struct Case
    {
        std::int64_t CueDuration, SegmentDuration;
        std::uint32_t Index;
        std::vector<std::int64_t> Starts; // seconds
    };
    Case const Cases[]{
        {900 * Millisecond, 2 * Second, 0, {0, 1}},
        {900 * Millisecond, 2 * Second, 3, {6, 7}},
        // 1.5 s segments: the cue of second 1 runs into segment 1, the
        // cue of second 3 starts at its end.
        {900 * Millisecond, 15 * Second / 10, 1, {1, 2}},
        {400 * Millisecond, 15 * Second / 10, 1, {2}},
        {1000 * Millisecond, 15 * Second / 10, 0, {0, 1}},
    };
    for(auto const& Test : Cases)
    {
        SubtitleCues const Track("en", Test.CueDuration, Test.SegmentDuration, std::nullopt);
        std::vector<std::int64_t> Starts;
        for(auto const& Cue : Track.OfSegment(Test.Index))
            Starts.push_back(Cue.Start / Second);
        EXPECT_EQ(Starts, Test.Starts) << Test.SegmentDuration << " " << Test.Index;
    }
}

TEST(SubtitleCues, TimeText)
{
    EXPECT_EQ(SubtitleCues::TimeText(0), "00:00:00.000");
    EXPECT_EQ(SubtitleCues::TimeText(59 * Second + 999 * Millisecond + 9999), "00:00:59.999");
    EXPECT_EQ(SubtitleCues::TimeText(100 * 3600 * Second), "100:00:00.000");
}

TEST(WebVttWriter, SegmentRelativeCuesOnTheMpegClock)
{
    SubtitleCues const Track("de", 900 * Millisecond, 15 * Second / 10, std::nullopt);
    // Segment 1 is [1.5, 3): the cue of second 1 belongs to segment 0.
    auto const Text = WebVttWriter::Segment(Track.OfSegment(1), Track.SegmentStart(1), Track.SegmentEnd(1), true);
    EXPECT_EQ(Text, "WEBVTT\n"
                    "X-TIMESTAMP-MAP=MPEGTS:135000,LOCAL:00:00:00.000\n"
                    "\n"
                    "2\n"
                    "00:00:00.500 --> 00:00:01.400 line:0\n"
                    "Deutsch\n00:00:02.000 segment 1\n");
    EXPECT_EQ(WebVttWriter::Segment({}, 0, 2 * Second, false), "WEBVTT\nX-TIMESTAMP-MAP=MPEGTS:0,LOCAL:00:00:00.000\n");
    // 33 bits of 90 kHz wrap after 95443.7 s.
    EXPECT_EQ(WebVttWriter::MpegTime(95'443 * Second), std::int64_t{95'443} * 90'000);
    EXPECT_EQ(WebVttWriter::MpegTime(95'444 * Second), std::int64_t{95'444} * 90'000 - (std::int64_t{1} << 33));
}

TEST(ImscWriter, ClippedCuesInTheRegionAsked)
{
    SubtitleCues const Track("fr", 900 * Millisecond, 15 * Second / 10, std::nullopt);
    auto const Bottom = ImscWriter::Document(Track.OfSegment(1), Track.SegmentStart(1), Track.SegmentEnd(1), "fr", false);
    EXPECT_NE(Bottom.find("ttp:profile=\"http://www.w3.org/ns/ttml/profile/imsc1/text\""), std::string::npos);
    EXPECT_NE(Bottom.find("xml:lang=\"fr\""), std::string::npos);
    EXPECT_NE(Bottom.find("tts:displayAlign=\"after\""), std::string::npos);
    // The cue of second 1 from the segment's start, the one of second 2 whole.
    EXPECT_NE(Bottom.find("<p begin=\"00:00:01.500\" end=\"00:00:01.900\">Français<br/>00:00:01.000 segment 0</p>"
                          "<p begin=\"00:00:02.000\" end=\"00:00:02.900\">Français<br/>00:00:02.000 segment 1</p></div>"),
              std::string::npos)
        << Bottom;
    auto const Top = ImscWriter::Document({{0, Second, "a<b & \"c\""}}, 0, Second, "fr", true);
    EXPECT_NE(Top.find("tts:displayAlign=\"before\""), std::string::npos);
    EXPECT_NE(Top.find(">a&lt;b &amp; &quot;c&quot;</p>"), std::string::npos) << Top;
}

TEST(SubtitleOptions, ReadAndRefused)
{
    auto const Asset = Configuration(7, Base, Query("subs=en,sv-SE&subsdur=250&subsreg=top&subsformat=wvtt"), Now);
    EXPECT_EQ(Asset.SubtitleLanguages, (std::vector<std::string>{"en", "sv-SE"}));
    EXPECT_EQ(Asset.SubtitleCueDuration, 250 * Millisecond);
    EXPECT_TRUE(Asset.SubtitlesAtTop);
    EXPECT_EQ(Asset.SubtitleFormatOf(false), SubtitleFormat::Wvtt);
    auto const Plain = Configuration(7, Base, Query("subs=ja"), Now);
    EXPECT_EQ(Plain.SubtitleCueDuration, DefaultSubtitleCueDuration);
    EXPECT_FALSE(Plain.SubtitlesAtTop);
    EXPECT_EQ(Plain.SubtitleFormatOf(true), SubtitleFormat::Vtt);
    EXPECT_EQ(Plain.SubtitleFormatOf(false), SubtitleFormat::Stpp);

    std::pair<std::string_view, HRESULT> const Refused[]{
        {"subs=", FailureCode::SubtitlesInvalid},
        {"subs=en,", FailureCode::SubtitlesInvalid},
        {"subs=en_US", FailureCode::SubtitlesInvalid},
        {"subs=en,sv,en", FailureCode::SubtitlesInvalid},
        {"subs=a1,b,c,d,e,f,g,h,i", FailureCode::SubtitlesInvalid},
        {"subs=aa,bb,cc,dd,ee,ff,gg,hh,ii", FailureCode::SubtitlesInvalid},
        {"subsdur=500", FailureCode::SubtitlesInvalid},
        {"subsformat=wvtt", FailureCode::SubtitlesInvalid},
        {"subs=en&subsdur=99", E_INVALIDARG},
        {"subs=en&subsdur=1001", E_INVALIDARG},
        {"subs=en&subsreg=middle", E_INVALIDARG},
        {"subs=en&subsformat=xyz", E_INVALIDARG},
    };
    for(auto const& [Text, Status] : Refused)
        EXPECT_EQ(RaisedStatus([&] { Configuration(7, Base, Query(Text), Now); }), Status) << Text;
    EXPECT_NO_THROW(Configuration(7, Base, Query("subs=aa,bb,cc,dd,ee,ff,gg,hh"), Now));

    // WebVTT files are HLS's: a DASH manifest refuses them.
    DefaultVariantSets const Defaults;
    AssetRegistry Registry(Defaults);
    EXPECT_EQ(RaisedStatus([&] { Registry.Create(ManifestKind::Dash, Query("subs=en&subsformat=vtt"), Base, Now); }), FailureCode::SubtitlesInvalid);
    EXPECT_NO_THROW(Registry.Create(ManifestKind::Hls, Query("subs=en&subsformat=vtt"), Base, Now));
}
