// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <vector>

#include "mp4/Mp4NalUnit.h"
#include "mp4/Mp4StreamFormat.h"

namespace Mp4
{
struct StsdBox;

// The HEVC parameter sets of a stream, kept from its first encoded sample.
// Profile, tier, level, chroma format and bit depths of hvcC and of the codecs
// string both come from the SPS, so the two always agree with the stream.
class HevcCodecRecord
{
public:
    void CollectParameterSets(std::vector<NalUnitSpan> const& NalUnits);
    // Makes the hvc1 entry with its hvcC present; needs exactly one VPS, SPS and PPS.
    void InitializeSampleEntry(StsdBox& Stsd, VideoFormat const& Format) const;
    // Empty unless exactly one readable SPS is known.
    std::string GetCodecsString() const;

    std::vector<std::vector<std::uint8_t>> m_VideoParameterSetVector;
    std::vector<std::vector<std::uint8_t>> m_SequenceParameterSetVector;
    std::vector<std::vector<std::uint8_t>> m_PictureParameterSetVector;
};
} // namespace Mp4
