// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4HevcCodecRecord.h"

#include <cmath>

#include "base/Check.h"
#include "mp4/Mp4HevcSequenceParameterSet.h"
#include "mp4/Mp4StructureBoxes.h"
#include "mp4/Mp4TrackBuilder.h"

namespace Mp4
{
namespace
{
constexpr std::uint8_t VideoParameterSetType = 32;
constexpr std::uint8_t SequenceParameterSetType = 33;
constexpr std::uint8_t PictureParameterSetType = 34;

// avgFrameRate counts frames per 256 seconds; 0 means unknown.
std::uint16_t GetAverageFrameRate(VideoFormat const& Format) noexcept
{
    if(!Format.m_FrameRateDenominator)
        return 0;
    double const Value = std::round(256.0 * Format.m_FrameRateNumerator / Format.m_FrameRateDenominator);
    return Value <= 0xFFFF ? static_cast<std::uint16_t>(Value) : 0;
}
} // namespace

void HevcCodecRecord::CollectParameterSets(std::vector<NalUnitSpan> const& NalUnits)
{
    for(auto const NalUnit : NalUnits)
    {
        switch(GetHevcNalUnitType(NalUnit))
        {
        case VideoParameterSetType:
            m_VideoParameterSetVector.emplace_back(NalUnit.begin(), NalUnit.end());
            break;
        case SequenceParameterSetType:
            m_SequenceParameterSetVector.emplace_back(NalUnit.begin(), NalUnit.end());
            break;
        case PictureParameterSetType:
            m_PictureParameterSetVector.emplace_back(NalUnit.begin(), NalUnit.end());
            break;
        default:
            break;
        }
    }
}

void HevcCodecRecord::InitializeSampleEntry(StsdBox& Stsd, VideoFormat const& Format) const
{
    CHECK_LINE(m_VideoParameterSetVector.size() == 1);
    CHECK_LINE(m_SequenceParameterSetVector.size() == 1);
    CHECK_LINE(m_PictureParameterSetVector.size() == 1);
    Hvc1Box& Entry = Stsd.m_Hvc1Box;
    TrackBuilder::InitializeVisualSampleEntry(Entry, Format, "HEVC Coding");
    HvccBox& Hvcc = Entry.m_HvccBox;
    Hvcc.SetPresent();
    HevcSequenceParameterSet::ReadInto(m_SequenceParameterSetVector.front(), Hvcc);
    Hvcc.m_AverageFrameRate = GetAverageFrameRate(Format);
    Hvcc.m_VideoParameterSet = m_VideoParameterSetVector.front();
    Hvcc.m_SequenceParameterSet = m_SequenceParameterSetVector.front();
    Hvcc.m_PictureParameterSet = m_PictureParameterSetVector.front();
}

std::string HevcCodecRecord::GetCodecsString() const
{
    if(m_SequenceParameterSetVector.size() != 1)
        return {};
    try
    {
        HvccBox Record;
        HevcSequenceParameterSet::ReadInto(m_SequenceParameterSetVector.front(), Record);
        return HevcSequenceParameterSet::GetCodecsString(Record);
    }
    catch(HResultError const&)
    {
        return {};
    }
}
} // namespace Mp4
