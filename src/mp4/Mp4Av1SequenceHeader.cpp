// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4Av1SequenceHeader.h"

#include <cstdio>

#include "base/Check.h"
#include "mp4/Mp4Av1Obu.h"
#include "mp4/Mp4RbspBitReader.h"
#include "mp4/Mp4SampleEntryBoxes.h"

namespace Mp4
{
namespace
{
constexpr std::uint8_t Bt709 = 1;
constexpr std::uint8_t Srgb = 13;
constexpr std::uint8_t Identity = 0;

// uvlc(): leading zeros, a one, then as many value bits.
std::uint32_t ReadUnsignedVariableLength(RbspBitReader& Reader)
{
    unsigned LeadingZeros = 0;
    while(!Reader.ReadFlag())
    {
        ++LeadingZeros;
        CHECK_ARGUMENT(LeadingZeros < 32);
    }
    return LeadingZeros ? Reader.ReadBits(LeadingZeros) + ((1u << LeadingZeros) - 1) : 0;
}

void ReadColorConfig(RbspBitReader& Reader, Av1SequenceHeader& Header)
{
    bool const HighBitdepth = Reader.ReadFlag();
    if(Header.m_SeqProfile == 2 && HighBitdepth)
        Header.m_BitDepth = Reader.ReadFlag() ? 12 : 10;
    else
        Header.m_BitDepth = HighBitdepth ? 10 : 8;
    Header.m_Monochrome = Header.m_SeqProfile == 1 ? false : Reader.ReadFlag();
    if(Reader.ReadFlag()) // color_description_present_flag
    {
        Header.m_ColorPrimaries = static_cast<std::uint8_t>(Reader.ReadBits(8));
        Header.m_TransferCharacteristics = static_cast<std::uint8_t>(Reader.ReadBits(8));
        Header.m_MatrixCoefficients = static_cast<std::uint8_t>(Reader.ReadBits(8));
    }
    if(Header.m_Monochrome)
    {
        Header.m_FullRange = Reader.ReadFlag();
        Header.m_ChromaSubsamplingX = Header.m_ChromaSubsamplingY = 1;
        return;
    }
    if(Header.m_ColorPrimaries == Bt709 && Header.m_TransferCharacteristics == Srgb && Header.m_MatrixCoefficients == Identity)
    {
        Header.m_FullRange = true;
        Header.m_ChromaSubsamplingX = Header.m_ChromaSubsamplingY = 0;
        Header.m_SeparateUvDeltaQ = Reader.ReadFlag();
        return;
    }
    Header.m_FullRange = Reader.ReadFlag();
    if(Header.m_SeqProfile == 0)
        Header.m_ChromaSubsamplingX = Header.m_ChromaSubsamplingY = 1;
    else if(Header.m_SeqProfile == 1)
        Header.m_ChromaSubsamplingX = Header.m_ChromaSubsamplingY = 0;
    else if(Header.m_BitDepth == 12)
    {
        Header.m_ChromaSubsamplingX = Reader.ReadFlag() ? 1 : 0;
        Header.m_ChromaSubsamplingY = Header.m_ChromaSubsamplingX ? (Reader.ReadFlag() ? 1 : 0) : 0;
    }
    else
    {
        Header.m_ChromaSubsamplingX = 1;
        Header.m_ChromaSubsamplingY = 0;
    }
    if(Header.m_ChromaSubsamplingX && Header.m_ChromaSubsamplingY)
        Header.m_ChromaSamplePosition = static_cast<std::uint8_t>(Reader.ReadBits(2));
    Header.m_SeparateUvDeltaQ = Reader.ReadFlag();
}

void ReadOperatingPoints(RbspBitReader& Reader, Av1SequenceHeader& Header)
{
    unsigned BufferDelayLength = 0;
    if(Reader.ReadFlag()) // timing_info_present_flag
    {
        Reader.SkipBits(32 + 32); // num_units_in_display_tick, time_scale
        Header.m_EqualPictureInterval = Reader.ReadFlag();
        if(Header.m_EqualPictureInterval)
            ReadUnsignedVariableLength(Reader);
        Header.m_DecoderModelInfoPresent = Reader.ReadFlag();
        if(Header.m_DecoderModelInfoPresent)
        {
            BufferDelayLength = Reader.ReadBits(5) + 1;
            Reader.SkipBits(32); // num_units_in_decoding_tick
            Header.m_BufferRemovalTimeLength = static_cast<std::uint8_t>(Reader.ReadBits(5) + 1);
            Header.m_FramePresentationTimeLength = static_cast<std::uint8_t>(Reader.ReadBits(5) + 1);
        }
    }
    bool const InitialDisplayDelayPresent = Reader.ReadFlag();
    unsigned const OperatingPoints = Reader.ReadBits(5) + 1;
    for(unsigned Index = 0; Index < OperatingPoints; ++Index)
    {
        auto& Point = Header.m_OperatingPoints.emplace_back();
        Point.m_Idc = static_cast<std::uint16_t>(Reader.ReadBits(12));
        auto const Level = static_cast<std::uint8_t>(Reader.ReadBits(5));
        std::uint8_t const Tier = Level > 7 ? static_cast<std::uint8_t>(Reader.ReadBits(1)) : 0;
        if(Index == 0)
        {
            Header.m_SeqLevelIdx0 = Level;
            Header.m_SeqTier0 = Tier;
        }
        Point.m_DecoderModelPresent = Header.m_DecoderModelInfoPresent && Reader.ReadFlag();
        if(Point.m_DecoderModelPresent)
            Reader.SkipBits(2 * BufferDelayLength + 1); // decoder and encoder buffer delays, low_delay_mode_flag
        if(InitialDisplayDelayPresent && Reader.ReadFlag())
            Reader.SkipBits(4);
    }
}

void ReadInterTools(RbspBitReader& Reader, Av1SequenceHeader& Header)
{
    Reader.SkipBits(2); // enable_interintra_compound, enable_masked_compound
    Header.m_EnableWarpedMotion = Reader.ReadFlag();
    Reader.SkipBits(1); // enable_dual_filter
    Header.m_EnableOrderHint = Reader.ReadFlag();
    if(Header.m_EnableOrderHint)
    {
        Reader.SkipBits(1); // enable_jnt_comp
        Header.m_EnableRefFrameMvs = Reader.ReadFlag();
    }
    Header.m_SeqForceScreenContentTools = Reader.ReadFlag() ? Av1SequenceHeader::SelectedPerFrame : static_cast<std::uint8_t>(Reader.ReadBits(1));
    if(Header.m_SeqForceScreenContentTools > 0)
        Header.m_SeqForceIntegerMv = Reader.ReadFlag() ? Av1SequenceHeader::SelectedPerFrame : static_cast<std::uint8_t>(Reader.ReadBits(1));
    if(Header.m_EnableOrderHint)
        Header.m_OrderHintBits = static_cast<std::uint8_t>(Reader.ReadBits(3) + 1);
}
} // namespace

Av1SequenceHeader Av1SequenceHeader::Read(std::span<std::uint8_t const> Obu)
{
    auto const Units = Av1Obu::Split(Obu);
    CHECK_ARGUMENT(Units.size() == 1 && Units.front().m_Type == Av1Obu::SequenceHeaderType);
    RbspBitReader Reader(Units.front().m_Payload);
    Av1SequenceHeader Header;
    Header.m_SeqProfile = static_cast<std::uint8_t>(Reader.ReadBits(3));
    CHECK_ARGUMENT(Header.m_SeqProfile <= 2);
    Reader.SkipBits(1); // still_picture
    Header.m_ReducedStillPictureHeader = Reader.ReadFlag();
    if(Header.m_ReducedStillPictureHeader)
    {
        Header.m_SeqLevelIdx0 = static_cast<std::uint8_t>(Reader.ReadBits(5));
        Header.m_OperatingPoints.resize(1);
    }
    else
        ReadOperatingPoints(Reader, Header);
    Header.m_FrameWidthBits = static_cast<std::uint8_t>(Reader.ReadBits(4) + 1);
    Header.m_FrameHeightBits = static_cast<std::uint8_t>(Reader.ReadBits(4) + 1);
    Header.m_MaxFrameWidth = Reader.ReadBits(Header.m_FrameWidthBits) + 1;
    Header.m_MaxFrameHeight = Reader.ReadBits(Header.m_FrameHeightBits) + 1;
    Header.m_FrameIdNumbersPresent = !Header.m_ReducedStillPictureHeader && Reader.ReadFlag();
    if(Header.m_FrameIdNumbersPresent)
    {
        Header.m_DeltaFrameIdLength = static_cast<std::uint8_t>(Reader.ReadBits(4) + 2);
        Header.m_AdditionalFrameIdLength = static_cast<std::uint8_t>(Reader.ReadBits(3) + 1);
    }
    Header.m_Use128x128Superblock = Reader.ReadFlag();
    Reader.SkipBits(2); // enable_filter_intra, enable_intra_edge_filter
    if(!Header.m_ReducedStillPictureHeader)
        ReadInterTools(Reader, Header);
    Header.m_EnableSuperres = Reader.ReadFlag();
    Header.m_EnableCdef = Reader.ReadFlag();
    Header.m_EnableRestoration = Reader.ReadFlag();
    ReadColorConfig(Reader, Header);
    Header.m_FilmGrainParamsPresent = Reader.ReadFlag();
    return Header;
}

void Av1SequenceHeader::FillConfiguration(Av1cBox& Box) const
{
    Box.m_SeqProfile = m_SeqProfile;
    Box.m_SeqLevelIdx0 = m_SeqLevelIdx0;
    Box.m_SeqTier0 = m_SeqTier0;
    Box.m_HighBitdepth = m_BitDepth > 8;
    Box.m_TwelveBit = m_BitDepth == 12;
    Box.m_Monochrome = m_Monochrome;
    Box.m_ChromaSubsamplingX = m_ChromaSubsamplingX;
    Box.m_ChromaSubsamplingY = m_ChromaSubsamplingY;
    Box.m_ChromaSamplePosition = m_ChromaSamplePosition;
}

std::string Av1SequenceHeader::GetCodecsString() const
{
    char Text[64];
    int Length = std::snprintf(Text, sizeof Text, "av01.%u.%02u%c.%02u", m_SeqProfile, m_SeqLevelIdx0, m_SeqTier0 ? 'H' : 'M', m_BitDepth);
    bool const DefaultColours = !m_Monochrome && m_ChromaSubsamplingX == 1 && m_ChromaSubsamplingY == 1 && m_ChromaSamplePosition == 0 &&
                                m_ColorPrimaries == Bt709 && m_TransferCharacteristics == Bt709 && m_MatrixCoefficients == Bt709 && !m_FullRange;
    if(!DefaultColours)
        Length += std::snprintf(Text + Length, sizeof Text - Length, ".%u.%u%u%u.%02u.%02u.%02u.%u", m_Monochrome ? 1 : 0, m_ChromaSubsamplingX,
                                m_ChromaSubsamplingY, m_ChromaSubsamplingX && m_ChromaSubsamplingY ? m_ChromaSamplePosition : 0, m_ColorPrimaries,
                                m_TransferCharacteristics, m_MatrixCoefficients, m_FullRange ? 1 : 0);
    return {Text, static_cast<std::size_t>(Length)};
}
} // namespace Mp4
