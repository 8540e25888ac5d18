// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Application
{
enum class AudioSubtype
{
    Aac,
    Flac,
};

// Every audio row is encoded as 48 kHz stereo; the manifests say so.
constexpr std::uint32_t AudioChannelCount = 2;
constexpr std::uint32_t AudioSampleRate = 48'000;

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
};
} // namespace Application
