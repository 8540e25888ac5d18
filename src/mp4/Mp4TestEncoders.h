// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "mp4/Mp4SinkTestTools.h"

// Real audio encoders driven straight through their libraries, for the codec
// records that read what those encoders write.
namespace Mp4::Test
{
struct AudioStream
{
    std::vector<std::uint8_t> m_Header; // Opus: "OpusHead"
    std::vector<EncodedFrame> m_FrameVector;
};
// libavcodec's AC-3 (192 kbit/s) or E-AC-3 (Enhanced, 128 kbit/s) encoder, 48
// kHz stereo, 1536-sample frames on a grid from 0.
AudioStream EncodeDolby(bool Enhanced, std::uint32_t FrameCount);
// libopus, 48 kHz stereo, 20 ms frames on a grid from 0, with the
// identification header of its look-ahead.
AudioStream EncodeOpus(std::uint32_t FrameCount);
} // namespace Mp4::Test
