// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AssetRegistry.h"
#include "presentation/Configuration.h"
#include "presentation/QueryNumbers.h"

#include "base/FailureCodes.h"
#include "presentation/TestSupport.h"

using namespace Application;
using namespace Application::Test;

namespace
{
Configuration Parse(std::string_view Text)
{
    return Configuration(7, Base, Query(Text), Now);
}

HRESULT ParseStatus(std::string_view Text)
{
    return RaisedStatus([&] { Parse(Text); });
}
} // namespace

TEST(QueryNumbers, IntegersStopAtTheFirstNonDigitAndSaturate)
{
    std::size_t Converted = 99;
    EXPECT_EQ(ConvertInteger(" \t-42abc", &Converted), -42);
    EXPECT_EQ(Converted, 5u);
    EXPECT_EQ(ConvertInteger("+7"), 7);
    EXPECT_EQ(ConvertInteger("abc", &Converted), 0);
    EXPECT_EQ(Converted, 0u);
    EXPECT_EQ(ConvertInteger("-", &Converted), 0);
    EXPECT_EQ(Converted, 0u);
    EXPECT_EQ(ConvertInteger("4294967296"), 2147483647);
    EXPECT_EQ(ConvertInteger("99999999999999999999999"), 2147483647);
    EXPECT_EQ(ConvertInteger("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ConvertInteger("-99999999999"), -2147483647 - 1);
}

TEST(QueryNumbers, TimesAreDecimalSecondsTruncatedTo100Nanoseconds)
{
    EXPECT_EQ(ConvertTime("4.5"), 45'000'000);
    EXPECT_EQ(ConvertTime(" -1.25x"), -12'500'000);
    EXPECT_EQ(ConvertTime("1e1"), 100'000'000);
    EXPECT_EQ(ConvertTime("0.00000019"), 1); // 1.9 units, truncated
    EXPECT_EQ(ConvertTime("abc"), 0);
    // Underflow to zero, infinities, NaN and values whose 100-ns count could
    // overflow a later sum are refused rather than turned into nonsense.
    for(auto Text : {"1e-400", "inf", "-inf", "nan", "1e300", "1000000001"})
        EXPECT_EQ(RaisedStatus([&] { ConvertTime(Text); }), E_INVALIDARG) << Text;
}

TEST(Configuration, OnDemandAndLiveDefaults)
{
    auto const OnDemand = Parse("lv=5&ls=100&pdt=6&atd=4.5&vtd=2");
    EXPECT_EQ(OnDemand.Asset, 7u);
    EXPECT_FALSE(OnDemand.Live);
    EXPECT_EQ(OnDemand.Duration, 180'000'000);
    EXPECT_FALSE(OnDemand.LiveWindow.has_value());
    EXPECT_FALSE(OnDemand.ProgramDateTimePeriod.has_value());
    EXPECT_EQ(OnDemand.BaseLiveTime, Base);
    EXPECT_EQ(OnDemand.AudioTargetDuration, 45'000'000);
    EXPECT_EQ(OnDemand.VideoTargetDuration, 20'000'000);
    EXPECT_TRUE(OnDemand.Key.empty());
    EXPECT_EQ(OnDemand.EncryptionScheme, EncryptionScheme::Cbcs);

    auto const Live = Parse("live=0&atd=3");
    EXPECT_TRUE(Live.Live);
    EXPECT_FALSE(Live.Duration.has_value());
    EXPECT_EQ(Live.LiveWindow, 300'000'000);
    EXPECT_EQ(Live.AudioTargetDuration, 30'000'000);

    auto const Ending = Parse("duration=5&live&lv=12.5&ls=100&pdt=6&noaudio&novideo");
    EXPECT_EQ(Ending.Duration, 50'000'000);
    EXPECT_EQ(Ending.LiveWindow, 125'000'000);
    EXPECT_EQ(Ending.BaseLiveTime, Now - 1'000'000'000);
    EXPECT_EQ(Ending.ProgramDateTimePeriod, 60'000'000);
    EXPECT_TRUE(Ending.NoAudio);
    EXPECT_TRUE(Ending.NoVideo);
}

TEST(Configuration, DurationIsWholeSecondsFromOneToADay)
{
    EXPECT_EQ(Parse("duration=2.5").Duration, 20'000'000);
    EXPECT_EQ(Parse("duration=20&duration=0").Duration, 200'000'000); // the first pair counts
    EXPECT_EQ(Parse("duration=86400").Duration, 864'000'000'000);
    for(auto Text : {"duration=0", "duration=-3", "duration=abc", "duration=", "duration=86401", "duration=99999999999", "live&duration=0"})
        EXPECT_EQ(ParseStatus(Text), E_INVALIDARG) << Text;
    for(auto Text : {"live&lv=-1", "live&lv=86401", "live&ls=1e12", "atd=nan", "vtd=1e-999", "live&pdt=inf"})
        EXPECT_EQ(ParseStatus(Text), E_INVALIDARG) << Text;
    // A target duration must be positive (it bounds every segment's duration).
    for(auto Text : {"atd=-1", "atd=0", "vtd=-0.5", "vtd=0", "live&atd=-3"})
        EXPECT_EQ(ParseStatus(Text), E_INVALIDARG) << Text;
    EXPECT_EQ(Parse("atd=0.001").AudioTargetDuration, 10'000);
}

TEST(Configuration, LowLatencyPartsLastFromATenthOfASecondToTenSeconds)
{
    EXPECT_FALSE(Parse("live").LowLatency);
    EXPECT_TRUE(Parse("live&ll").LowLatency);
    EXPECT_EQ(Parse("live&ll").PartDuration, 5'000'000);
    EXPECT_EQ(Parse("live&ll&part=0.2").PartDuration, 2'000'000);
    for(auto Text : {"live&ll&part=0", "live&ll&part=0.05", "live&ll&part=10.5", "live&ll&part=x"})
        EXPECT_EQ(ParseStatus(Text), E_INVALIDARG) << Text;
}

TEST(Configuration, EncryptionKeys)
{
    auto const Clear = Parse("scheme=cbcs&initializationvector=zz");
    EXPECT_TRUE(Clear.Key.empty());
    EXPECT_TRUE(Clear.Scheme.empty());

    auto const Cenc = Parse("key=000102030405060708090a0b0c0d0E0F&keyformat=cp");
    EXPECT_EQ(Cenc.Scheme, "cenc");
    EXPECT_EQ(Cenc.EncryptionScheme, EncryptionScheme::Cenc);
    EXPECT_EQ(Cenc.Key, (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(Cenc.InitializationVector, std::vector<std::uint8_t>(DefaultInitializationVector.begin(), DefaultInitializationVector.end()));
    EXPECT_EQ(Cenc.KeyFormat, "cp");

    auto const Cbcs = Parse("key=FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF&scheme=cbcs&initializationvector=0123456789ABCDEF0123456789abcdef");
    EXPECT_EQ(Cbcs.EncryptionScheme, EncryptionScheme::Cbcs);
    EXPECT_EQ(Cbcs.InitializationVector.front(), 0x01);
    EXPECT_EQ(Cbcs.InitializationVector.back(), 0xEF);
    EXPECT_EQ(Parse("key=FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF&scheme=").EncryptionScheme, EncryptionScheme::Cenc);

    EXPECT_EQ(ParseStatus("key=FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF&scheme=CENC"), E_INVALIDARG);
    EXPECT_EQ(ParseStatus("key=FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF&initializationvector=00"), FailureCode::Base16WrongLength);
}

TEST(Configuration, Base16LengthsAndDigits)
{
    std::string const Digits31(31, 'a');
    EXPECT_EQ(RaisedStatus([&] { Configuration::ParseBase16(Digits31, 16); }), FailureCode::Base16OddLength);
    EXPECT_EQ(RaisedStatus([&] { Configuration::ParseBase16(Digits31 + "aa", 16); }), FailureCode::Base16OddLength);
    EXPECT_EQ(RaisedStatus([&] { Configuration::ParseBase16(Digits31 + "a" + "aa", 16); }), FailureCode::Base16WrongLength);
    EXPECT_EQ(RaisedStatus([&] { Configuration::ParseBase16(std::string(30, '0'), 16); }), FailureCode::Base16WrongLength);
    // A pair is a byte only when both characters are digits.
    EXPECT_EQ(RaisedStatus([&] { Configuration::ParseBase16(std::string(30, '0') + "1G", 16); }), FailureCode::Base16NotHexadecimal);
    EXPECT_EQ(RaisedStatus([&] { Configuration::ParseBase16("G1", 1); }), FailureCode::Base16NotHexadecimal);
    EXPECT_EQ(RaisedStatus([&] { Configuration::ParseBase16("+1", 1); }), FailureCode::Base16NotHexadecimal);
    // Lengths count characters: one non-ASCII character among 32 is a bad digit.
    EXPECT_EQ(RaisedStatus([&] { Configuration::ParseBase16(std::string(31, '0') + "\xC3\xA9", 16); }), FailureCode::Base16NotHexadecimal);
    EXPECT_EQ(Configuration::ParseBase16("aBcD"), (std::vector<std::uint8_t>{0xAB, 0xCD}));
    EXPECT_TRUE(Configuration::ParseBase16("").empty());
}

TEST(VariantSet, VideoVariantSelection)
{
    VariantSet const Set = DefaultVariantSets().H264;
    VideoVariant Variant;
    EXPECT_TRUE(Set.ParseVideoVariant(Query("variant=1x"), Variant));
    EXPECT_EQ(Variant.Index, 1u);
    EXPECT_TRUE(Variant.TrickPlay);
    EXPECT_TRUE(Set.ParseVideoVariant(Query("variant=+0&variant=1"), Variant));
    EXPECT_EQ(Variant.FrameSizeW, 1280u);
    for(auto Text : {"variant=2", "variant=-1", "", "variant=4294967296"})
        EXPECT_FALSE(Set.ParseVideoVariant(Query(Text), Variant)) << Text;
    EXPECT_EQ(RaisedStatus([&] { Set.ParseVideoVariant(Query("variant=abc"), Variant); }), E_INVALIDARG);
}

TEST(Configuration, AudioFileConfiguration)
{
    DefaultVariantSets const Defaults;
    auto const Aac = Configuration::ForAudioFile(Query("duration=7&live&key=00"), Defaults.H264.AudioVariants);
    EXPECT_TRUE(Aac.NoVideo);
    EXPECT_FALSE(Aac.Live);
    EXPECT_TRUE(Aac.Key.empty());
    EXPECT_EQ(Aac.VariantSet.AudioVariants.at(0).Duration, 70'000'000);
    auto const Flac = Configuration::ForAudioFile(Query("flac"), Defaults.H264.AudioVariants);
    EXPECT_EQ(Flac.VariantSet.AudioVariants.at(0).Subtype, AudioSubtype::Flac);
    EXPECT_EQ(Flac.VariantSet.AudioVariants.at(0).SequenceStride, 375u);
    EXPECT_EQ(Flac.VariantSet.AudioVariants.at(0).SegmentDuration, 64'000'000);
    EXPECT_EQ(Flac.VariantSet.AudioVariants.at(0).Duration, 180'000'000);
    EXPECT_EQ(RaisedStatus([&] { Configuration::ForAudioFile(Query("duration=0"), Defaults.H264.AudioVariants); }), E_INVALIDARG);
}

TEST(AssetRegistry, NumbersAdvanceOnEveryManifestRequestAndAreNeverReused)
{
    DefaultVariantSets Defaults;
    Defaults.H264.AudioVariants[0].Codecs = "mp4a.40.2";
    std::vector<AudioSubtype> Probed;
    AssetRegistry Registry(Defaults, [&](AudioVariant& Variant) {
        Probed.push_back(Variant.Subtype);
        Variant.Codecs = Variant.Subtype == AudioSubtype::Flac ? "fLaC" : "mp4a.40.2";
    });
    EXPECT_EQ(Registry.Create(ManifestKind::Hls, Query(""), Base, Now).Asset, 1u);
    EXPECT_EQ(Registry.Create(ManifestKind::Dash, Query("noaudio"), Base, Now).Asset, 2u);
    EXPECT_EQ(RaisedStatus([&] { Registry.Create(ManifestKind::Hls, Query("duration=0"), Base, Now); }), E_INVALIDARG);
    auto& Hevc = Registry.Create(ManifestKind::Hls, Query("hvc1&flac&duration=20"), Base, Now);
    EXPECT_EQ(Hevc.Asset, 4u);
    EXPECT_EQ(Registry.Size(), 3u);
    EXPECT_EQ(Hevc.VariantSet.VideoVariants.at(1).Subtype, VideoSubtype::Hevc);
    EXPECT_EQ(Hevc.VariantSet.AudioVariants.at(0).Subtype, AudioSubtype::Flac);
    EXPECT_EQ(Hevc.VariantSet.AudioVariants.at(0).Codecs, "fLaC");
    EXPECT_EQ(Hevc.VariantSet.AudioVariants.at(0).Duration, 200'000'000);
    auto const& Dash = Registry.Create(ManifestKind::Dash, Query("hvc1&flac"), Base, Now);
    EXPECT_EQ(Dash.VariantSet.VideoVariants.at(0).Subtype, VideoSubtype::H264);
    EXPECT_EQ(Dash.VariantSet.AudioVariants.at(0).Subtype, AudioSubtype::Aac);
    // The "noaudio" asset was not probed.
    EXPECT_EQ(Probed, (std::vector<AudioSubtype>{AudioSubtype::Aac, AudioSubtype::Flac, AudioSubtype::Aac}));
    // A failed request left the earlier assets as they were.
    EXPECT_EQ(Registry.Find(Query("asset=4")).Duration, 200'000'000);
    EXPECT_EQ(&Registry.Find(Query("asset=1x")), &Registry.Find(Query("asset=1")));
}

TEST(AssetRegistry, LookupFailures)
{
    DefaultVariantSets const Defaults;
    AssetRegistry Registry(Defaults);
    Registry.Create(ManifestKind::Hls, Query(""), Base, Now);
    EXPECT_EQ(RaisedStatus([&] { Registry.Find(Query("variant=0")); }), FailureCode::AssetMissing);
    for(auto Text : {"asset=3", "asset=0", "asset=abc", "asset=", "asset=4294967297", "asset=-1"})
        EXPECT_EQ(RaisedStatus([&] { Registry.Find(Query(Text)); }), FailureCode::AssetUnknown) << Text;
}

TEST(AssetRegistry, KeepsTheMostRecentlyUsedAssetsUpToItsLimit)
{
    DefaultVariantSets const Defaults;
    AssetRegistry Registry(Defaults, {}, 3);
    for(int Index = 0; Index < 3; ++Index)
        Registry.Create(ManifestKind::Hls, Query(""), Base, Now);
    auto& First = Registry.Find(Query("asset=1")); // used again: now the most recent
    Registry.Create(ManifestKind::Dash, Query(""), Base, Now);
    EXPECT_EQ(Registry.Size(), 3u);
    EXPECT_EQ(RaisedStatus([&] { Registry.Find(Query("asset=2")); }), FailureCode::AssetUnknown);
    EXPECT_EQ(&Registry.Find(Query("asset=1")), &First);
    EXPECT_EQ(Registry.Find(Query("asset=4")).Asset, 4u);
    // Numbers go on from where they were, never back to an aged-out one.
    for(int Index = 0; Index < 10; ++Index)
        Registry.Create(ManifestKind::Hls, Query(""), Base, Now);
    EXPECT_EQ(Registry.Size(), 3u);
    EXPECT_EQ(Registry.Find(Query("asset=14")).Asset, 14u);
    EXPECT_EQ(RaisedStatus([&] { Registry.Find(Query("asset=1")); }), FailureCode::AssetUnknown);
    EXPECT_EQ(RaisedStatus([&] { Registry.Find(Query("asset=11")); }), FailureCode::AssetUnknown);
    // Numbers a store may have given again are dropped, the later ones kept.
    Registry.Forget(13);
    EXPECT_EQ(Registry.Size(), 1u);
    EXPECT_EQ(RaisedStatus([&] { Registry.Find(Query("asset=13")); }), FailureCode::AssetUnknown);
    EXPECT_EQ(Registry.Find(Query("asset=14")).Asset, 14u);
}

// "audio": a row of the first audio row's timeline in each codec, in the
// order given, each probed; HLS and DASH alike.
TEST(AssetRegistry, AudioGivesARowInEachCodecAndTheRowsAreNamedByCodec)
{
    DefaultVariantSets const Defaults;
    std::vector<AudioSubtype> Probed;
    AssetRegistry Registry(Defaults, [&](AudioVariant& Variant) { Probed.push_back(Variant.Subtype); });
    for(auto const Kind : {ManifestKind::Hls, ManifestKind::Dash})
    {
        auto const& Asset = Registry.Create(Kind, Query("audio=ec3,aac,opus&duration=20"), Base, Now);
        auto const& Rows = Asset.VariantSet.AudioVariants;
        ASSERT_EQ(Rows.size(), 3u);
        EXPECT_EQ(Rows[0].Subtype, AudioSubtype::Ec3);
        EXPECT_EQ(Rows[1].Subtype, AudioSubtype::Aac);
        EXPECT_EQ(Rows[2].Subtype, AudioSubtype::Opus);
        for(auto const& Row : Rows)
            EXPECT_EQ(std::pair(Row.SegmentDuration, Row.Duration), std::pair(std::int64_t{60'000'000}, std::optional<std::int64_t>{200'000'000}));
        EXPECT_EQ(Asset.VariantSet.AudioRowOf(Query("asset=1")), 0u);
        EXPECT_EQ(Asset.VariantSet.AudioRowOf(Query("asset=1&audio=opus")), 2u);
        EXPECT_EQ(Asset.VariantSet.AudioRowQuery(Rows[2]), "&audio=opus");
        EXPECT_EQ(RaisedStatus([&] { Asset.VariantSet.AudioRowOf(Query("audio=ac3")); }), FailureCode::AudioRowUnknown);
        EXPECT_EQ(RaisedStatus([&] { Asset.VariantSet.AudioRowOf(Query("audio=flac")); }), FailureCode::AudioRowUnknown);
    }
    EXPECT_EQ(Probed.size(), 6u);
    // One codec alone: the URLs of one row need not name it.
    auto const& Opus = Registry.Create(ManifestKind::Dash, Query("audio=opus"), Base, Now);
    EXPECT_EQ(Opus.VariantSet.AudioVariants.at(0).Subtype, AudioSubtype::Opus);
    EXPECT_EQ(Opus.VariantSet.AudioRowQuery(Opus.VariantSet.AudioVariants[0]), "");
    for(auto const* Text : {"audio=", "audio=aac,", "audio=mp3", "audio=flac", "audio=aac,aac", "audio=aac,opus,ac3,ec3", "audio=AAC", "audio=aac&flac"})
        EXPECT_EQ(RaisedStatus([&] { Registry.Create(ManifestKind::Hls, Query(Text), Base, Now); }), E_INVALIDARG) << Text;
}

// "lang" and "describes": a rendition per language in each codec, in the
// order given, with a voice slot each, the description the slot after the
// languages; each named by codec, language and "describes".
TEST(AssetRegistry, LanguagesGiveARenditionInEachCodecNamedByLanguage)
{
    DefaultVariantSets const Defaults;
    AssetRegistry Registry(Defaults, {});
    auto const& Asset = Registry.Create(ManifestKind::Dash, Query("audio=aac,opus&lang=en,fr-CA&describes=FR-ca"), Base, Now);
    auto const& Rows = Asset.VariantSet.AudioVariants;
    ASSERT_EQ(Rows.size(), 6u);
    std::vector<std::string> Made;
    for(auto const& Row : Rows)
        Made.push_back(std::string(AudioCodecName(Row.Subtype)) + " " + Row.Language + " " + std::to_string(Row.Voice->Slot) + " " + Row.Voice->Name +
                       (Row.Voice->Describes ? " AD" : ""));
    EXPECT_EQ(Made, (std::vector<std::string>{"aac en 0 English", "aac fr-CA 1 Français", "aac fr-CA 2 Français AD", "opus en 0 English",
                                              "opus fr-CA 1 Français", "opus fr-CA 2 Français AD"}));
    auto const& Set = Asset.VariantSet;
    EXPECT_EQ(Set.AudioRowOf(Query("asset=1")), 0u);
    EXPECT_EQ(Set.AudioRowOf(Query("asset=1&lang=fr-CA")), 1u);
    EXPECT_EQ(Set.AudioRowOf(Query("asset=1&lang=fr-CA&describes=1")), 2u);
    EXPECT_EQ(Set.AudioRowOf(Query("asset=1&audio=opus&lang=fr-CA")), 4u);
    EXPECT_EQ(Set.AudioRowQuery(Rows[5]), "&audio=opus&lang=fr-CA&describes=1");
    for(auto const* Text : {"lang=de", "lang=en&describes", "lang=fr-ca", "audio=ac3&lang=en"})
        EXPECT_EQ(RaisedStatus([&] { Set.AudioRowOf(Query(Text)); }), FailureCode::AudioRowUnknown) << Text;

    // Without "lang" the programme's row stays as it is, its description beside it.
    auto const& Described = Registry.Create(ManifestKind::Hls, Query("describes=en"), Base, Now);
    ASSERT_EQ(Described.VariantSet.AudioVariants.size(), 2u);
    EXPECT_FALSE(Described.VariantSet.AudioVariants[0].Voice.has_value());
    EXPECT_EQ(Described.VariantSet.AudioVariants[1].Voice, (AudioVoice{0, "English", true}));
    EXPECT_EQ(Described.VariantSet.AudioRowQuery(Described.VariantSet.AudioVariants[0]), "&lang=en");

    for(auto const* Text : {"lang=", "lang=en,", "lang=e", "lang=en,EN", "lang=en,fr,de,sv,nl,it,es,pt,da", "describes=fr",
                            "lang=en&describes=de", "lang=en_GB"})
        EXPECT_EQ(RaisedStatus([&] { Registry.Create(ManifestKind::Hls, Query(Text), Base, Now); }), E_INVALIDARG) << Text;
}
