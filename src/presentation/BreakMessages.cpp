// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/BreakMessages.h"

#include "base/MediaTime.h"
#include "base/MulDiv.h"
#include "mp4/Mp4BoxWriter.h"
#include "mp4/Mp4EventMessageBox.h"
#include "presentation/BreakSections.h"

namespace Application
{
std::vector<std::uint8_t> BreakMessages::ForSegment(Configuration const& Asset, std::int64_t Start, std::int64_t Duration)
{
    if(!Asset.Breaks || !Asset.Breaks->Has(BreakSignal::Emsg))
        return {};
    auto const& Settings = *Asset.Breaks;
    std::int64_t const End = Start + Duration;
    std::int64_t const Origin = Asset.Changes.At(Start).Origin;
    Mp4::BoxWriter Writer;
    // The breaks that start in the segment or a lead after it.
    for(auto const& Break : Settings.Schedule.Overlapping(Start, End + Settings.Lead + 1))
    {
        bool const Starts = Break.Start >= Start && Break.Start < End;
        bool const Announced = Break.Start - Settings.Lead >= Start && Break.Start - Settings.Lead < End;
        if(!Starts && !Announced)
            continue;
        Mp4::EventMessageBox Event;
        Event.SetPresent();
        Event.m_SchemeIdUri = std::string(Scheme);
        Event.m_Value = std::string(Value);
        Event.m_Timescale = static_cast<std::uint32_t>(EventTimescale);
        // On the segment's decode timeline, which a change may have restarted.
        Event.m_PresentationTime = static_cast<std::uint64_t>(MulDivRound(Break.Start - Origin, EventTimescale, TimeUnitsPerSecond));
        Event.m_EventDuration = static_cast<std::uint32_t>(MulDivRound(Break.Duration, EventTimescale, TimeUnitsPerSecond));
        Event.m_Id = Break.Number;
        Event.m_MessageData = BreakSections::Out(Asset, Break);
        Event.Write(Writer);
    }
    return Writer.TakeData();
}
} // namespace Application
