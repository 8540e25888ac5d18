// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/QueryStringNameValue.h"

namespace Application
{
enum class AudioSubtype
{
    Aac,
    Flac,
};

enum class VideoSubtype
{
    H264,
    Hevc,
};

// Every audio row is encoded as 48 kHz stereo; the manifests say so.
constexpr std::uint32_t AudioChannelCount = 2;
constexpr std::uint32_t AudioSampleRate = 48'000;

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
    AudioVariant FlacAlternative() const;
};

struct VideoVariant
{
    std::uint32_t Index = 0; // position in its list, the "variant" query value
    VideoSubtype Subtype = VideoSubtype::H264;
    std::uint32_t FrameSizeW = 0;
    std::uint32_t FrameSizeH = 0;
    std::uint32_t FrameRateN = 0;
    std::uint32_t FrameRateD = 0;
    std::uint32_t Bitrate = 0;
    std::string Codecs;
    std::int64_t SegmentDuration = 0;
    bool TrickPlay = false; // key frames only, at most one per second
};

struct VariantSet
{
    std::vector<AudioVariant> AudioVariants;
    std::vector<VideoVariant> VideoVariants;

    // Selects the row named by the query's "variant": false when the key is
    // absent or the number is not below the row count (negative numbers select
    // nothing); E_INVALIDARG when the value has no digits. Text after the
    // digits is accepted.
    bool ParseVideoVariant(QueryVector const& Query, VideoVariant& Variant) const;
};
} // namespace Application
