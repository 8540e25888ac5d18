// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Application
{
// The values name the codec in segment keys: new codecs go at the end.
enum class AudioSubtype
{
    Aac,
    Flac,
    Opus,
    Ac3,
    Ec3,
};

// Every audio row is encoded at 48 kHz, in stereo unless the asset asks
// for 5.1 ("ch=6"); the manifests say so.
constexpr std::uint32_t AudioChannelCount = 2;
constexpr std::uint32_t SurroundChannelCount = 6;
constexpr std::uint32_t AudioSampleRate = 48'000;

// The samples of one encoded frame: segments and parts cut the timeline on
// this grid of absolute sample indices (frame f begins at sample f × length).
constexpr std::uint32_t AudioFrameLength(AudioSubtype Subtype) noexcept
{
    switch(Subtype)
    {
    case AudioSubtype::Aac: return 1024;
    case AudioSubtype::Flac: return 4096;
    case AudioSubtype::Opus: return 960; // 20 ms
    case AudioSubtype::Ac3:
    case AudioSubtype::Ec3: return 1536; // six blocks of 256
    }
    return 1024;
}

// What the encoder is asked for, in bits per second; FLAC is lossless and
// takes what it needs. AC-3 has a table of rates, of which 192 kbit/s is the
// usual one for stereo and 448 kbit/s for 5.1; the others' 5.1 rates are the
// usual ones of streaming services.
constexpr std::uint32_t AudioBitrate(AudioSubtype Subtype, std::uint32_t Channels = AudioChannelCount) noexcept
{
    if(Channels == SurroundChannelCount)
        return Subtype == AudioSubtype::Ac3 ? 448'000 : Subtype == AudioSubtype::Aac ? 320'000 : 256'000;
    return Subtype == AudioSubtype::Ac3 ? 192'000 : 128'000;
}

// The codec's name in the query ("audio=aac,ec3") and in the URLs of an
// asset with several audio rows.
constexpr std::string_view AudioCodecName(AudioSubtype Subtype) noexcept
{
    switch(Subtype)
    {
    case AudioSubtype::Aac: return "aac";
    case AudioSubtype::Flac: return "flac";
    case AudioSubtype::Opus: return "opus";
    case AudioSubtype::Ac3: return "ac3";
    case AudioSubtype::Ec3: return "ec3";
    }
    return "aac";
}

// The voice of a row asked for by language ("lang", "describes"): the slot
// of its pitch pattern (ToneBurstSignal::VoiceFrequencies) and the name it
// says every ten seconds in its language (SpokenNames). The programme's one
// row has none: its signal stays the plain tone bursts.
struct AudioVoice
{
    std::uint32_t Slot = 0;
    std::string Name; // UTF-8, the language's own name for itself
    bool Describes = false; // the audio description of its language

    bool operator==(AudioVoice const&) const = default;
};

// One audio row: what the encoder makes and how its timeline is cut into
// segments. Playlists and manifests list the rows; segment runs make them.
struct AudioVariant
{
    AudioSubtype Subtype = AudioSubtype::Aac;
    std::string Codecs; // RFC 6381 text learned from the encoder; empty until probed
    std::uint32_t SequenceStride = 0; // fragments of segment i are numbered from i * SequenceStride + 1
    std::int64_t SegmentDuration = 0;
    std::optional<std::int64_t> Duration; // bounds the last segment
    std::string Language;
    std::optional<AudioVoice> Voice;
    std::uint32_t Channels = AudioChannelCount;
    std::uint32_t Bitrate() const noexcept { return AudioBitrate(Subtype, Channels); }

    // The same row encoded as FLAC. The codecs text is dropped because it
    // described the AAC encoding; the asset's codecs probe learns the new one.
    AudioVariant FlacAlternative() const
    {
        AudioVariant Variant = *this;
        Variant.Subtype = AudioSubtype::Flac;
        Variant.Codecs.clear();
        Variant.SequenceStride = 375;
        Variant.SegmentDuration = 64'000'000;
        return Variant;
    }
    // The same row in another codec (FlacAlternative for FLAC). Opus, AC-3
    // and E-AC-3 keep the segment duration: their frames are cut on their
    // own grid like AAC's, 6 s holding 300 Opus frames exactly.
    AudioVariant Alternative(AudioSubtype Other) const
    {
        if(Other == AudioSubtype::Flac)
            return FlacAlternative();
        AudioVariant Variant = *this;
        if(Other != Subtype)
            Variant.Codecs.clear();
        Variant.Subtype = Other;
        return Variant;
    }
};
} // namespace Application
