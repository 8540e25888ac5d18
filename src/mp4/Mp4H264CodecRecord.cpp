// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4H264CodecRecord.h"

#include "base/Check.h"
#include "mp4/Mp4H264SequenceParameterSet.h"
#include "mp4/Mp4StructureBoxes.h"
#include "mp4/Mp4TrackBuilder.h"

namespace Mp4
{
namespace
{
constexpr std::uint8_t SequenceParameterSetType = 7;
constexpr std::uint8_t PictureParameterSetType = 8;
} // namespace

void H264CodecRecord::CollectParameterSets(std::vector<NalUnitSpan> const& NalUnits)
{
    for(auto const NalUnit : NalUnits)
    {
        auto const Type = GetH264NalUnitType(NalUnit);
        if(Type == SequenceParameterSetType)
            m_SequenceParameterSetVector.emplace_back(NalUnit.begin(), NalUnit.end());
        else if(Type == PictureParameterSetType)
            m_PictureParameterSetVector.emplace_back(NalUnit.begin(), NalUnit.end());
    }
}

void H264CodecRecord::InitializeSampleEntry(StsdBox& Stsd, VideoFormat const& Format) const
{
    CHECK_LINE(m_SequenceParameterSetVector.size() == 1);
    CHECK_LINE(m_PictureParameterSetVector.size() == 1);
    CHECK_LINE(m_SequenceParameterSetVector.front().size() >= 4);
    Avc1Box& Entry = Stsd.m_Avc1Box;
    TrackBuilder::InitializeVisualSampleEntry(Entry, Format, "AVC Coding");
    Entry.m_AvccBox.SetPresent();
    Entry.m_AvccBox.m_SequenceParameterSet = m_SequenceParameterSetVector.front();
    Entry.m_AvccBox.m_PictureParameterSet = m_PictureParameterSetVector.front();
    H264SequenceParameterSet::ReadInto(Entry.m_AvccBox.m_SequenceParameterSet, Entry.m_AvccBox);
}

std::string H264CodecRecord::GetCodecsString() const
{
    if(m_SequenceParameterSetVector.size() != 1 || m_SequenceParameterSetVector.front().size() < 4)
        return {};
    return FormatAvcCodecsString(m_SequenceParameterSetVector.front());
}
} // namespace Mp4
