// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <vector>

#include "mp4/Mp4NalUnit.h"
#include "mp4/Mp4StreamFormat.h"

namespace Mp4
{
struct StsdBox;

// The H.264 parameter sets of a stream, kept from its first encoded sample,
// and what the initialisation segment and playlists say about them.
class H264CodecRecord
{
public:
    // Keeps every SPS and PPS among the NAL units.
    void CollectParameterSets(std::vector<NalUnitSpan> const& NalUnits);
    // Makes the avc1 entry with its avcC present; needs exactly one SPS and one PPS.
    void InitializeSampleEntry(StsdBox& Stsd, VideoFormat const& Format) const;
    // "avc1.PPCCLL", or empty unless exactly one usable SPS is known.
    std::string GetCodecsString() const;

    std::vector<std::vector<std::uint8_t>> m_SequenceParameterSetVector;
    std::vector<std::vector<std::uint8_t>> m_PictureParameterSetVector;
};
} // namespace Mp4
