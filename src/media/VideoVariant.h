// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "media/DynamicRange.h"

namespace Application
{
enum class VideoSubtype
{
    H264,
    Hevc,
    Av1,
    Vp9,
};

// One video row: what the encoder makes and how its timeline is cut into
// segments. Playlists and manifests list the rows; segment runs make them.
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
    // PQ and HLG rows are 10-bit HEVC or AV1.
    DynamicRange Range = DynamicRange::Sdr;
};
} // namespace Application
