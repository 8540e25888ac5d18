// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4NalUnit.h"

namespace Mp4
{
struct AvccBox;

// What the AVC decoder configuration record says about an H.264 stream
// beyond its first three SPS bytes: chroma format and bit depths, read from
// the sequence parameter set so that the record describes the stream.
class H264SequenceParameterSet
{
public:
    // Profiles whose record ends with chroma format, bit depths and the SPS
    // extension count (ISO/IEC 14496-15, AVCDecoderConfigurationRecord).
    static bool HasFormatFields(std::uint8_t ProfileIdc) noexcept;

    // Reads chroma_format_idc and the bit depths from the NAL unit (header
    // byte included) into the record; profiles without them in the SPS have
    // 4:2:0 at 8 bits. A truncated or malformed unit fails.
    static void ReadInto(NalUnitSpan NalUnit, AvccBox& Record);
};
} // namespace Mp4
