// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Real encoders driven straight through their libraries, for tests that
// package their output and let independent tools judge the result.
namespace Mp4::Test
{
struct EncodedFrame
{
    std::vector<std::uint8_t> m_Data; // Annex B for video
    std::int64_t m_Time = 0;          // 100 ns units
    std::int64_t m_Duration = 0;
    std::optional<std::int64_t> m_DecodeTime; // video, as the encoder gives it
    bool m_KeyFrame = false;
    std::uint64_t m_Position = 0; // FLAC: first audio sample
    std::uint32_t m_SampleCount = 0;
};

struct VideoSettings
{
    std::uint32_t m_Width = 320;
    std::uint32_t m_Height = 240;
    std::uint32_t m_FrameRateNumerator = 25;
    std::uint32_t m_FrameRateDenominator = 1;
    std::uint32_t m_FrameCount = 50;
    std::uint32_t m_FirstFrame = 0; // frame n of the grid is presented at n × denominator / numerator
    std::uint32_t m_KeyFrameInterval = 25;
    std::uint32_t m_BFrames = 2;
    std::uint32_t m_Slices = 1;
};

// libx264, High profile, decode times as x264 gives them (earlier than the
// presentation times when there are B-frames).
std::vector<EncodedFrame> EncodeH264(VideoSettings const& Settings);
// libx265, Main profile.
std::vector<EncodedFrame> EncodeHevc(VideoSettings const& Settings);

struct AudioStream
{
    std::vector<std::uint8_t> m_Header; // AAC: AudioSpecificConfig; FLAC: the "fLaC" stream header; Opus: "OpusHead"
    std::vector<EncodedFrame> m_FrameVector;
};
// libavcodec's AAC-LC encoder, 48 kHz stereo, 1024-sample frames on a grid from 0.
AudioStream EncodeAac(std::uint32_t FrameCount);
// libavcodec's AC-3 (192 kbit/s) or E-AC-3 (Enhanced, 128 kbit/s) encoder, 48
// kHz stereo, 1536-sample frames on a grid from 0.
AudioStream EncodeDolby(bool Enhanced, std::uint32_t FrameCount);
// libopus, 48 kHz stereo, 20 ms frames on a grid from 0, with the
// identification header of its look-ahead.
AudioStream EncodeOpus(std::uint32_t FrameCount);
// libFLAC, 48 kHz stereo, 16 bits, fixed 4096-sample blocks.
AudioStream EncodeFlac(std::uint32_t SampleCount);
} // namespace Mp4::Test
