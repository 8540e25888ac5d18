// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/HlsBreakTags.h"

#include "base/MediaTime.h"
#include "base/StringFormat.h"
#include "presentation/BreakSections.h"
#include "presentation/DecimalText.h"
#include "presentation/Timeline.h"

namespace Application
{
namespace
{

std::string Hexadecimal(std::vector<std::uint8_t> const& Bytes)
{
    std::string Text = "0x";
    for(auto Byte : Bytes)
        Text += StringFormat("%02X", Byte);
    return Text;
}
} // namespace

HlsBreakTags::HlsBreakTags(Configuration const& Asset, std::int64_t SegmentDuration, std::uint32_t First, std::uint32_t Last) :
    m_Asset(Asset),
    m_Settings(Asset.Breaks ? &*Asset.Breaks : nullptr),
    m_SegmentDuration(SegmentDuration),
    m_First(First),
    m_Cues(m_Settings && m_Settings->Has(BreakSignal::Cue) && m_Settings->Schedule.Grid() % SegmentDuration == 0)
{
    if(m_Settings && First <= Last)
        m_Breaks = m_Settings->Schedule.Overlapping(First * SegmentDuration, (static_cast<std::int64_t>(Last) + 1) * SegmentDuration);
}

std::string HlsBreakTags::Date(std::int64_t MediaTime) const
{
    return Timeline::FormatProgramDateTime(m_Asset.BaseLiveTime + MediaTime);
}

std::vector<std::string> HlsBreakTags::DateRanges(std::uint32_t Index) const
{
    std::vector<std::string> Lines;
    if(!m_Settings)
        return Lines;
    std::int64_t const Start = Index * m_SegmentDuration;
    std::int64_t const End = Start + m_SegmentDuration;
    for(auto const& Break : m_Breaks)
    {
        bool const Opens = (Break.Start >= Start && Break.Start < End) || (Index == m_First && Break.Start < Start && Break.End() > Start);
        std::string const Id = StringFormat("ID=\"break-%u\",START-DATE=\"%s\"", Break.Number, Date(Break.Start).c_str());
        if(Opens && m_Settings->Has(BreakSignal::DateRange))
            Lines.push_back("#EXT-X-DATERANGE:" + Id + ",PLANNED-DURATION=" + FormatSeconds(Break.Duration) +
                            ",SCTE35-OUT=" + Hexadecimal(BreakSections::Out(m_Asset, Break)));
        if(Opens && m_Settings->Ads > 0)
            Lines.push_back(StringFormat("#EXT-X-DATERANGE:ID=\"ad-%u\",CLASS=\"com.apple.hls.interstitial\",START-DATE=\"%s\",DURATION=%s,"
                                         "X-ASSET-LIST=\"adlist.json?asset=%u&break=%u\",X-RESUME-OFFSET=%s,X-RESTRICT=\"SKIP,JUMP\",X-SNAP=\"OUT,IN\"",
                                         Break.Number, Date(Break.Start).c_str(), FormatSeconds(Break.Duration).c_str(), m_Asset.Asset, Break.Number,
                                         FormatSeconds(Break.Duration).c_str()));
        if(Break.End() > Start && Break.End() <= End && m_Settings->Has(BreakSignal::DateRange))
            Lines.push_back("#EXT-X-DATERANGE:" + Id + ",DURATION=" + FormatSeconds(Break.Duration) + ",SCTE35-IN=" + Hexadecimal(BreakSections::In(m_Asset, Break)));
    }
    return Lines;
}

std::vector<std::string> HlsBreakTags::Cues(std::uint32_t Index) const
{
    std::vector<std::string> Lines;
    if(!m_Cues)
        return Lines;
    std::int64_t const Start = Index * m_SegmentDuration;
    for(auto const& Break : m_Breaks)
    {
        if(Start == Break.End())
            Lines.push_back("#EXT-X-CUE-IN");
        else if(Start == Break.Start)
            Lines.push_back("#EXT-X-CUE-OUT:DURATION=" + FormatSeconds(Break.Duration));
        else if(Start > Break.Start && Start < Break.End())
            Lines.push_back("#EXT-X-CUE-OUT-CONT:ElapsedTime=" + FormatSeconds(Start - Break.Start) + ",Duration=" + FormatSeconds(Break.Duration));
    }
    return Lines;
}
} // namespace Application
