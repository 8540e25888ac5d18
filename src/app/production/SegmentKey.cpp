// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/production/SegmentKey.h"

#include "presentation/PartLayout.h"

#include "app/answers/EntityTagOf.h"
#include "base/BuildInfo.h"
#include "base/Check.h"
#include "base/StringFormat.h"

namespace Application
{
SegmentKey::SegmentKey(std::string_view Kind) : m_Text(Kind)
{
}

SegmentKey& SegmentKey::Add(std::string_view Name, std::string_view Value)
{
    // Values are digits or hexadecimal (lists of them joined by ",", "@",
    // "+" or "/"), or a file route's option text, which comes last: the
    // separators cannot be forged to make two keys equal.
    ((((m_Text += ';') += Name) += '=') += Value);
    return *this;
}

SegmentKey& SegmentKey::Add(std::string_view Name, std::int64_t Value)
{
    return Add(Name, std::to_string(Value));
}

SegmentKey& SegmentKey::AddVideoVariant(VideoVariant const& Variant)
{
    // The row index picks the default box colour.
    Add("row", Variant.Index)
        .Add("codec", static_cast<std::int64_t>(Variant.Subtype))
        .Add("w", Variant.FrameSizeW)
        .Add("h", Variant.FrameSizeH)
        .Add("rate", StringFormat("%u/%u", Variant.FrameRateN, Variant.FrameRateD))
        .Add("bitrate", Variant.Bitrate)
        .Add("d", Variant.SegmentDuration)
        .Add("trick", Variant.TrickPlay ? 1 : 0);
    // Named only for PQ and HLG rows, so other keys stay as they were.
    return IsHighDynamicRange(Variant.Range) ? Add("range", static_cast<std::int64_t>(Variant.Range)) : *this;
}

SegmentKey& SegmentKey::AddKeyFrameInterval(VideoVariant const& Variant, Configuration const& Asset)
{
    // The encoder's own interval is left unnamed, so other keys stay as they were.
    auto const Interval = PartLayout::KeyFrameIntervalOf(Asset, Variant);
    return Interval ? Add("keys", std::int64_t{*Interval}) : *this;
}

SegmentKey& SegmentKey::AddAudioVariant(AudioVariant const& Variant)
{
    Add("codec", static_cast<std::int64_t>(Variant.Subtype)).Add("stride", Variant.SequenceStride).Add("d", Variant.SegmentDuration);
    if(Variant.Channels != AudioChannelCount)
        Add("ch", Variant.Channels);
    return Variant.Duration ? Add("end", *Variant.Duration) : *this;
}

SegmentKey& SegmentKey::AddEncryption(Configuration const& Asset)
{
    if(Asset.Key.empty())
        return *this;
    return Add("scheme", static_cast<std::int64_t>(Asset.EncryptionScheme)).Add("key", Configuration::FormatBase16(Asset.Key)).Add("iv", Configuration::FormatBase16(Asset.InitializationVector));
}

SegmentKey& SegmentKey::AddBreakNotices(std::span<BreakNotice const> Notices)
{
    if(Notices.empty())
        return *this;
    std::string Text;
    for(auto const& Notice : Notices)
        Text += StringFormat("%s%u@%lld+%lld", Text.empty() ? "" : ",", Notice.Number, static_cast<long long>(Notice.Start),
                             static_cast<long long>(Notice.Duration));
    return Add("breaks", Text);
}

SegmentKey& SegmentKey::AddAdvert(std::uint32_t Number, std::uint32_t Count)
{
    return Add("ad", StringFormat("%u/%u", Number, Count));
}

SegmentKey& SegmentKey::AddAdvertTone(std::uint32_t Number)
{
    return Add("ad", std::int64_t{Number});
}

SegmentKey& SegmentKey::AddVoice(std::string_view Language, AudioVoice const& Voice)
{
    // A well-formed tag is letters, digits and '-', and names the spoken
    // name (LanguageTag::NativeName) too.
    return Add("voice", StringFormat("%.*s,%u%s", static_cast<int>(Language.size()), Language.data(), Voice.Slot, Voice.Describes ? ",describes" : ""));
}

SegmentKey& SegmentKey::AddEventMessages(std::span<std::uint8_t const> Boxes)
{
    std::string Text;
    for(auto Byte : Boxes)
        Text += StringFormat("%02x", Byte);
    return Add("emsg", Text);
}

SegmentKey& SegmentKey::AddChanges(Configuration const& Asset, ChangeState const& State, KeyTrack Track)
{
    if(!Asset.Changes.Empty())
        Add("change", StringFormat("%lld,%u,%u,%u%s", static_cast<long long>(State.Origin), State.Number, State.Clear ? 1u : 0u, State.KeyEpoch,
                                   Asset.InbandKeys ? ",inband" : ""));
    if(Track == KeyTrack::Audio && ContentKeys::HasAudioKey(Asset))
        Add("audiokey", Configuration::FormatBase16(Asset.AudioKey));
    return *this;
}

SegmentKey SegmentKey::ForPart(std::uint32_t Part) const
{
    SegmentKey Key(*this);
    return Key.Add("part", std::int64_t{Part});
}

SegmentKey SegmentKey::ForKeyPicture() const
{
    SegmentKey Key(*this);
    return Key.Add("keypicture", std::int64_t{0});
}

SegmentKey SegmentKey::VideoHeader(VideoVariant const& Variant, Configuration const& Asset)
{
    SegmentKey Key("video-header");
    Key.AddVideoVariant(Variant).AddKeyFrameInterval(Variant, Asset).AddEncryption(Asset);
    return Key;
}

SegmentKey SegmentKey::VideoBody(VideoVariant const& Variant, std::uint32_t Index, std::optional<std::uint32_t> Colour,
                                 std::optional<std::int64_t> BaseLiveTime, std::optional<std::uint32_t> FrameCodeAsset, Configuration const& Asset)
{
    SegmentKey Key("video-body");
    Key.AddVideoVariant(Variant).AddKeyFrameInterval(Variant, Asset).Add("index", Index);
    if(Colour)
        Key.Add("colour", *Colour);
    if(BaseLiveTime)
        Key.Add("live", *BaseLiveTime);
    if(FrameCodeAsset)
        Key.Add("framecode", *FrameCodeAsset);
    // Captions live in the pictures' SEI only: headers are the same with and without.
    if(Asset.Captions != CaptionServices::None)
        Key.Add("cc", static_cast<std::int64_t>(Asset.Captions));
    // The pictures of 5.1 name the speaker sounding.
    if(Asset.Surround())
        Key.Add("surround", 1);
    Key.AddEncryption(Asset);
    return Key;
}

SegmentKey SegmentKey::AudioHeader(AudioVariant const& Variant, Configuration const& Asset)
{
    SegmentKey Key("audio-header");
    Key.AddAudioVariant(Variant).AddEncryption(Asset);
    return Key;
}

SegmentKey SegmentKey::AudioBody(AudioVariant const& Variant, std::uint32_t Index, bool MarkerTone, Configuration const& Asset)
{
    SegmentKey Key("audio-body");
    Key.AddAudioVariant(Variant).Add("index", Index).Add("marker", MarkerTone ? 1 : 0).AddEncryption(Asset);
    return Key;
}

SegmentKey SegmentKey::ThumbnailTile(VideoVariant const& Row, ThumbnailLayout const& Layout, std::uint32_t ThumbnailHeight, std::uint32_t Index,
                                     std::uint32_t Colour, std::span<BreakNotice const> Notices, Configuration const& Asset)
{
    SegmentKey Key("thumbs");
    Key.AddVideoVariant(Row)
        .Add("grid", StringFormat("%u/%u/%lld", Layout.Columns, Layout.Rows, static_cast<long long>(Layout.Interval)))
        .Add("size", StringFormat("%u/%u", ThumbnailLayout::ThumbnailWidth, ThumbnailHeight))
        .Add("index", Index)
        .Add("colour", Colour);
    if(Asset.Live)
        Key.Add("live", Asset.BaseLiveTime);
    if(Asset.FrameCode)
        Key.Add("framecode", Asset.Asset);
    Key.AddBreakNotices(Notices);
    // The schedule's text is names, digits and commas.
    if(!Asset.Changes.Empty())
        Key.Add("changes", Asset.Changes.Text()).Add("switch", static_cast<std::int64_t>(Asset.SwitchCodec));
    if(Asset.Surround())
        Key.Add("surround", 1);
    return Key;
}

SegmentKey SegmentKey::File(std::string_view Route, std::string_view Options)
{
    SegmentKey Key(Route);
    Key.Add("options", Options);
    return Key;
}

std::string SegmentKey::EntityTag() const
{
    // Another build may encode differently: its tags differ.
    return EntityTagOf(StringFormat("%s|%s|", BuildInfo::GitDescribeText, BuildInfo::ConfigurationText) + m_Text);
}
} // namespace Application
