// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/BreakSections.h"

#include "presentation/Scte35Section.h"

namespace Application
{
namespace
{
// The asset number names the program: two assets' breaks are told apart.
std::uint16_t ProgramId(Configuration const& Asset)
{
    return static_cast<std::uint16_t>(Asset.Asset & 0xFFFF);
}

std::vector<std::uint8_t> Section(Configuration const& Asset, AdBreak const& Break, bool Out)
{
    if(Asset.Breaks && Asset.Breaks->Command == SpliceCommand::TimeSignal)
    {
        Scte35Section::TimeSignal Signal;
        Signal.SpliceTime = Out ? Break.Start : Break.End();
        Signal.SegmentationEventId = Break.Number;
        Signal.Start = Out;
        if(Out)
            Signal.SegmentationDuration = Break.Duration;
        return Scte35Section::WriteTimeSignal(Signal);
    }
    Scte35Section::SpliceInsert Insert;
    Insert.SpliceEventId = Break.Number;
    Insert.OutOfNetwork = Out;
    Insert.SpliceTime = Out ? Break.Start : Break.End();
    if(Out)
        Insert.BreakDuration = Break.Duration;
    Insert.UniqueProgramId = ProgramId(Asset);
    return Scte35Section::WriteSpliceInsert(Insert);
}
} // namespace

std::vector<std::uint8_t> BreakSections::Out(Configuration const& Asset, AdBreak const& Break)
{
    return Section(Asset, Break, true);
}

std::vector<std::uint8_t> BreakSections::In(Configuration const& Asset, AdBreak const& Break)
{
    return Section(Asset, Break, false);
}
} // namespace Application
