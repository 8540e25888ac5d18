// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <span>
#include <string>
#include <vector>

#include "mp4/Mp4StreamFormat.h"

namespace Mp4
{
struct StsdBox;
struct TrakBox;

// The Opus sample entry of an Opus stream (Opus in ISO BMFF 4.3) from the
// Ogg identification header the encoder gives ("OpusHead", RFC 7845 5.1),
// and what the track adds for it: an edit that takes the pre-skip off the
// start of the presentation, and the roll group of 80 ms of pre-roll that
// every sample needs after a random access (4.3.6.2, 4.4).
class OpusCodecRecord
{
public:
    // Every Opus sample here lasts 20 ms.
    static constexpr std::uint32_t FrameDuration = 960;
    static constexpr std::int16_t RollDistance = -4;

    // Reads the identification header with every field checked: version 1,
    // channel mapping family 0 (one or two channels) or 1 (Vorbis order, up
    // to eight channels, with its mapping table).
    void ParseIdentificationHeader(std::span<std::uint8_t const> Header);
    void InitializeSampleEntry(StsdBox& Stsd, AudioFormat const& Format) const;
    // Adds the edit list and the roll group to the track of the entry, whose
    // media timescale is 48000 Hz; takes the sync sample table out.
    void CompleteTrack(TrakBox& Trak) const;
    static std::string GetCodecsString() { return "opus"; }

    std::uint8_t m_ChannelCount = 0;
    std::uint16_t m_PreSkip = 0;
    std::uint32_t m_InputSampleRate = 0;
    std::int16_t m_OutputGain = 0;
    std::uint8_t m_MappingFamily = 0;
    std::uint8_t m_StreamCount = 0;
    std::uint8_t m_CoupledCount = 0;
    std::vector<std::uint8_t> m_ChannelMapping;
};
} // namespace Mp4
