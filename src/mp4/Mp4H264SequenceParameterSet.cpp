// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4H264SequenceParameterSet.h"

#include <algorithm>
#include <array>

#include "base/Check.h"
#include "mp4/Mp4RbspBitReader.h"
#include "mp4/Mp4SampleEntryBoxes.h"

namespace Mp4
{
namespace
{
constexpr std::uint8_t SequenceParameterSetType = 7;

// Profiles whose SPS carries chroma_format_idc and the bit depths (ITU-T H.264
// 7.3.2.1.1; 144 is the withdrawn High 4:4:4 profile of earlier editions).
constexpr std::array<std::uint8_t, 14> ProfilesWithFormatSyntax{100, 110, 122, 244, 44, 83, 86, 118, 128, 138, 139, 134, 135, 144};
} // namespace

bool H264SequenceParameterSet::HasFormatFields(std::uint8_t ProfileIdc) noexcept
{
    return ProfileIdc == 100 || ProfileIdc == 110 || ProfileIdc == 122 || ProfileIdc == 144;
}

void H264SequenceParameterSet::ReadInto(NalUnitSpan NalUnit, AvccBox& Record)
{
    CHECK_LINE(GetH264NalUnitType(NalUnit) == SequenceParameterSetType);
    auto const Rbsp = ExtractRbsp(NalUnit.subspan(1));
    RbspBitReader Reader(Rbsp);
    auto const ProfileIdc = static_cast<std::uint8_t>(Reader.ReadBits(8));
    Reader.SkipBits(16);            // constraint flags, level_idc
    Reader.ReadUnsignedExpGolomb(); // seq_parameter_set_id
    std::uint32_t ChromaFormatIdc = 1, BitDepthLumaMinus8 = 0, BitDepthChromaMinus8 = 0;
    if(std::find(ProfilesWithFormatSyntax.begin(), ProfilesWithFormatSyntax.end(), ProfileIdc) != ProfilesWithFormatSyntax.end())
    {
        ChromaFormatIdc = Reader.ReadUnsignedExpGolomb();
        CHECK_LINE(ChromaFormatIdc <= 3);
        if(ChromaFormatIdc == 3)
            Reader.SkipBits(1); // separate_colour_plane_flag
        BitDepthLumaMinus8 = Reader.ReadUnsignedExpGolomb();
        BitDepthChromaMinus8 = Reader.ReadUnsignedExpGolomb();
        CHECK_LINE(BitDepthLumaMinus8 <= 6 && BitDepthChromaMinus8 <= 6);
    }
    Record.m_ChromaFormatIdc = static_cast<std::uint8_t>(ChromaFormatIdc);
    Record.m_BitDepthLumaMinus8 = static_cast<std::uint8_t>(BitDepthLumaMinus8);
    Record.m_BitDepthChromaMinus8 = static_cast<std::uint8_t>(BitDepthChromaMinus8);
}
} // namespace Mp4
