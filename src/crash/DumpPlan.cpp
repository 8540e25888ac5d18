// SPDX-License-Identifier: GPL-2.0-or-later
#include "crash/DumpPlan.h"

#include <algorithm>

#include "crash/MinidumpType.h"

namespace Application
{
namespace
{
// Kernel pages that cannot be read through /proc/<pid>/mem.
bool IsUnreadableSpecial(MemoryRegion const& Region)
{
    return Region.Path == "[vvar]" || Region.Path == "[vsyscall]" || Region.Path == "[vvar_vclock]";
}

// A module's data segment: its private writable file mapping, or the
// anonymous .bss that directly follows one.
bool IsDataSegment(std::vector<MemoryRegion> const& Regions, std::size_t Index)
{
    auto const& Region = Regions[Index];
    if(!Region.Writable || !Region.Private)
        return false;
    if(Region.IsFileBacked())
        return true;
    return Region.Path.empty() && Index > 0 && Regions[Index - 1].IsFileBacked() && Regions[Index - 1].Writable &&
           Regions[Index - 1].End == Region.Start;
}

std::vector<AddressRange> Merge(std::vector<AddressRange> Ranges)
{
    std::sort(Ranges.begin(), Ranges.end(), [](auto const& A, auto const& B) { return A.Start < B.Start; });
    std::vector<AddressRange> Merged;
    for(auto const& Range : Ranges)
    {
        if(Range.End <= Range.Start)
            continue;
        if(!Merged.empty() && Range.Start <= Merged.back().End)
            Merged.back().End = std::max(Merged.back().End, Range.End);
        else
            Merged.push_back(Range);
    }
    return Merged;
}
} // namespace

bool DumpPlan::IsDumpedWhole(std::vector<MemoryRegion> const& Regions, std::size_t Index) const
{
    auto const& Region = Regions[Index];
    if(m_MinidumpType & MinidumpType::WithFullMemory)
        return true;
    if((m_MinidumpType & MinidumpType::WithPrivateReadWriteMemory) && Region.Private && Region.Writable)
        return true;
    // The vDSO's unwind tables let a debugger step out of system calls.
    return Region.Path == "[vdso]" || IsDataSegment(Regions, Index);
}

std::vector<AddressRange> DumpPlan::DumpedParts(std::vector<MemoryRegion> const& Regions, std::size_t Index,
                                                std::vector<std::uint64_t> const& StackPointers, std::vector<AddressRange> const& Referenced) const
{
    auto const& Region = Regions[Index];
    if(!Region.Readable || IsUnreadableSpecial(Region))
        return {};
    if(IsDumpedWhole(Regions, Index))
        return {{Region.Start, Region.End}};
    std::vector<AddressRange> Parts;
    // The ELF header page of a module carries its build id.
    if(Region.IsFileBacked() && Region.Offset == 0)
        Parts.push_back({Region.Start, std::min(Region.End, Region.Start + m_PageSize)});
    for(auto const StackPointer : StackPointers)
        if(Region.Contains(StackPointer))
        {
            std::uint64_t const Low = StackPointer > RedZoneBytes ? StackPointer - RedZoneBytes : 0;
            std::uint64_t const Start = std::max(Region.Start, PageDown(Low));
            Parts.push_back({Start, std::min(Region.End, Start + MaximalStackBytes)});
        }
    for(auto const& Range : Referenced)
    {
        std::uint64_t const Start = std::max(Region.Start, PageDown(Range.Start));
        std::uint64_t const End = std::min(Region.End, PageUp(Range.End));
        if(Start < End)
            Parts.push_back({Start, End});
    }
    return Merge(std::move(Parts));
}

std::vector<CoreSegment> DumpPlan::Make(std::vector<MemoryRegion> const& Regions, std::vector<std::uint64_t> const& StackPointers,
                                        std::vector<AddressRange> const& Referenced) const
{
    std::vector<CoreSegment> Segments;
    for(std::size_t Index = 0; Index < Regions.size(); ++Index)
    {
        auto const& Region = Regions[Index];
        auto const Add = [&](std::uint64_t Start, std::uint64_t End, bool Dumped) {
            if(Start < End)
                Segments.push_back({Start, End, Region.Readable, Region.Writable, Region.Executable, Dumped});
        };
        std::uint64_t Position = Region.Start;
        for(auto const& Part : DumpedParts(Regions, Index, StackPointers, Referenced))
        {
            Add(Position, Part.Start, false);
            Add(Part.Start, Part.End, true);
            Position = Part.End;
        }
        Add(Position, Region.End, false);
    }
    return Segments;
}
} // namespace Application
