// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "mp4/Mp4ColourDescription.h"

// What the packager needs to know of a stream's format; the sink fills these
// from the stream's media type.
namespace Mp4
{
struct VideoFormat
{
    std::uint32_t m_Width = 0;
    std::uint32_t m_Height = 0;
    std::uint32_t m_FrameRateNumerator = 0;   // the media timescale
    std::uint32_t m_FrameRateDenominator = 0; // the frame duration in that timescale
    // Written as colr (and with PQ, mdcv and clli) where the type describes it.
    std::optional<ColourDescription> m_Colour;
};

struct AudioFormat
{
    std::uint32_t m_SampleRate = 0; // the media timescale
    std::uint32_t m_ChannelCount = 0;
    std::uint32_t m_AverageBitrate = 0;
    // AAC: the wave-format extension fields (12 bytes) followed by the AudioSpecificConfig.
    std::vector<std::uint8_t> m_UserData;
};
} // namespace Mp4
