// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "mp4/Mp4NalUnit.h"

namespace Mp4
{
struct HvccBox;

// What the decoder configuration record and the codecs string say about an
// HEVC stream, read from its sequence parameter set, so that what a playlist
// announces is what the stream holds.
class HevcSequenceParameterSet
{
public:
    // Reads profile_tier_level, chroma format, bit depths and temporal layers
    // from the NAL unit (header included) into the record's header fields; a
    // truncated or malformed unit fails.
    static void ReadInto(NalUnitSpan NalUnit, HvccBox& Record);
    // "hvc1.<space><profile>.<compatibility>.<tier><level>[.<constraint bytes>]"
    static std::string GetCodecsString(HvccBox const& Record);
};
} // namespace Mp4
