// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4Av1CodecRecord.h"

#include "base/Check.h"
#include "mp4/Mp4Av1Obu.h"
#include "mp4/Mp4Av1SequenceHeader.h"
#include "mp4/Mp4StructureBoxes.h"
#include "mp4/Mp4TrackBuilder.h"

namespace Mp4
{
void Av1CodecRecord::CollectSequenceHeader(std::span<std::uint8_t const> Sample)
{
    m_SequenceHeader.clear();
    for(auto const& Obu : Av1Obu::Split(Sample))
        if(Obu.m_Type == Av1Obu::SequenceHeaderType)
        {
            m_SequenceHeader.assign(Obu.m_Whole.begin(), Obu.m_Whole.end());
            return;
        }
}

void Av1CodecRecord::InitializeSampleEntry(StsdBox& Stsd, VideoFormat const& Format) const
{
    CHECK_LINE(!m_SequenceHeader.empty());
    Av01Box& Entry = Stsd.m_Av01Box;
    TrackBuilder::InitializeVisualSampleEntry(Entry, Format, "AOM Coding");
    Av1cBox& Configuration = Entry.m_Av1cBox;
    Configuration.SetPresent();
    Av1SequenceHeader::Read(m_SequenceHeader).FillConfiguration(Configuration);
    Configuration.m_ConfigObus = m_SequenceHeader;
}

std::string Av1CodecRecord::GetCodecsString() const
{
    if(m_SequenceHeader.empty())
        return {};
    try
    {
        return Av1SequenceHeader::Read(m_SequenceHeader).GetCodecsString();
    }
    catch(HResultError const&)
    {
        return {};
    }
}
} // namespace Mp4
