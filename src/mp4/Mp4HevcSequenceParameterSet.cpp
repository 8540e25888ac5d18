// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4HevcSequenceParameterSet.h"

#include <array>

#include "base/Check.h"
#include "base/StringFormat.h"
#include "mp4/Mp4RbspBitReader.h"
#include "mp4/Mp4SampleEntryBoxes.h"

namespace Mp4
{
namespace
{
constexpr std::uint8_t SequenceParameterSetType = 33;
constexpr unsigned MaximalSubLayers = 8;
constexpr unsigned SubLayerProfileBits = 88;
constexpr unsigned SubLayerLevelBits = 8;

std::uint32_t ReverseBits(std::uint32_t Value) noexcept
{
    std::uint32_t Result = 0;
    for(unsigned Index = 0; Index < 32; ++Index, Value >>= 1)
        Result = Result << 1 | (Value & 1);
    return Result;
}
} // namespace

void HevcSequenceParameterSet::ReadInto(NalUnitSpan NalUnit, HvccBox& Record)
{
    CHECK_LINE(GetHevcNalUnitType(NalUnit) == SequenceParameterSetType);
    auto const Rbsp = ExtractRbsp(NalUnit.subspan(2));
    RbspBitReader Reader(Rbsp);
    Reader.SkipBits(4); // sps_video_parameter_set_id
    auto const MaxSubLayersMinus1 = Reader.ReadBits(3);
    Record.m_NumTemporalLayers = static_cast<std::uint8_t>(MaxSubLayersMinus1 + 1);
    Record.m_TemporalIdNested = Reader.ReadFlag();
    // profile_tier_level(1, sps_max_sub_layers_minus1)
    Record.m_GeneralProfileSpace = static_cast<std::uint8_t>(Reader.ReadBits(2));
    Record.m_GeneralTierFlag = static_cast<std::uint8_t>(Reader.ReadBits(1));
    Record.m_GeneralProfileIdc = static_cast<std::uint8_t>(Reader.ReadBits(5));
    Record.m_GeneralProfileCompatibilityFlags = Reader.ReadBits(32);
    for(auto& Byte : Record.m_GeneralConstraintIndicatorFlags)
        Byte = static_cast<std::uint8_t>(Reader.ReadBits(8));
    Record.m_GeneralLevelIdc = static_cast<std::uint8_t>(Reader.ReadBits(8));
    std::array<bool, MaximalSubLayers> ProfilePresent{}, LevelPresent{};
    for(unsigned Index = 0; Index < MaxSubLayersMinus1; ++Index)
    {
        ProfilePresent[Index] = Reader.ReadFlag();
        LevelPresent[Index] = Reader.ReadFlag();
    }
    if(MaxSubLayersMinus1 > 0)
        Reader.SkipBits(2 * (MaximalSubLayers - MaxSubLayersMinus1)); // reserved_zero_2bits
    for(unsigned Index = 0; Index < MaxSubLayersMinus1; ++Index)
        Reader.SkipBits((ProfilePresent[Index] ? SubLayerProfileBits : 0) + (LevelPresent[Index] ? SubLayerLevelBits : 0));
    Reader.ReadUnsignedExpGolomb(); // sps_seq_parameter_set_id
    auto const ChromaFormatIdc = Reader.ReadUnsignedExpGolomb();
    CHECK_LINE(ChromaFormatIdc <= 3);
    if(ChromaFormatIdc == 3)
        Reader.SkipBits(1); // separate_colour_plane_flag
    Reader.ReadUnsignedExpGolomb(); // pic_width_in_luma_samples
    Reader.ReadUnsignedExpGolomb(); // pic_height_in_luma_samples
    if(Reader.ReadFlag())           // conformance_window_flag
        for(unsigned Index = 0; Index < 4; ++Index)
            Reader.ReadUnsignedExpGolomb();
    auto const BitDepthLumaMinus8 = Reader.ReadUnsignedExpGolomb();
    auto const BitDepthChromaMinus8 = Reader.ReadUnsignedExpGolomb();
    CHECK_LINE(BitDepthLumaMinus8 <= 7 && BitDepthChromaMinus8 <= 7);
    Record.m_ChromaFormatIdc = static_cast<std::uint8_t>(ChromaFormatIdc);
    Record.m_BitDepthLumaMinus8 = static_cast<std::uint8_t>(BitDepthLumaMinus8);
    Record.m_BitDepthChromaMinus8 = static_cast<std::uint8_t>(BitDepthChromaMinus8);
}

std::string HevcSequenceParameterSet::GetCodecsString(HvccBox const& Record)
{
    static char const* const ProfileSpaceText[] = {"", "A", "B", "C"};
    // The compatibility flags are written with flag 0 as the least significant bit.
    std::string Text = StringFormat("hvc1.%s%u.%X.%c%u", ProfileSpaceText[Record.m_GeneralProfileSpace & 3], Record.m_GeneralProfileIdc,
                                    ReverseBits(Record.m_GeneralProfileCompatibilityFlags), Record.m_GeneralTierFlag ? 'H' : 'L', Record.m_GeneralLevelIdc);
    // Trailing zero bytes of the constraint flags are left out.
    auto const& Constraints = Record.m_GeneralConstraintIndicatorFlags;
    std::size_t Count = Constraints.size();
    while(Count > 0 && Constraints[Count - 1] == 0)
        --Count;
    for(std::size_t Index = 0; Index < Count; ++Index)
        Text += StringFormat(".%02X", Constraints[Index]);
    return Text;
}
} // namespace Mp4
