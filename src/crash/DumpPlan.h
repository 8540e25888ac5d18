// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "crash/MemoryRegion.h"

namespace Application
{
// A range of addresses, End excluded.
struct AddressRange
{
    std::uint64_t Start = 0;
    std::uint64_t End = 0;
};

// One load segment of a core file: a piece of a mapping, with its bytes in
// the file (Dumped) or only its place in the address space.
struct CoreSegment
{
    std::uint64_t Start = 0;
    std::uint64_t End = 0;
    bool Readable = false;
    bool Writable = false;
    bool Executable = false;
    bool Dumped = false;

    bool operator==(CoreSegment const&) const = default;
};

// Which memory of a process goes into its dump, for a minidump type.
class DumpPlan
{
public:
    // At most this much of a stack above its stack pointer; a wild stack
    // pointer must not drag a whole heap into a small dump.
    static constexpr std::uint64_t MaximalStackBytes = 8u << 20;
    // Below the stack pointer: the red zone a leaf function may use.
    static constexpr std::uint64_t RedZoneBytes = 128;

    DumpPlan(std::uint32_t MinidumpType, std::uint64_t PageSize) : m_MinidumpType(MinidumpType), m_PageSize(PageSize) {}

    // The segments of every mapping, in address order. StackPointers are the
    // threads' stack pointers; Referenced are small ranges the debugger
    // needs (the loader's module list).
    std::vector<CoreSegment> Make(std::vector<MemoryRegion> const& Regions, std::vector<std::uint64_t> const& StackPointers,
                                  std::vector<AddressRange> const& Referenced) const;

private:
    bool IsDumpedWhole(std::vector<MemoryRegion> const& Regions, std::size_t Index) const;
    std::vector<AddressRange> DumpedParts(std::vector<MemoryRegion> const& Regions, std::size_t Index, std::vector<std::uint64_t> const& StackPointers,
                                          std::vector<AddressRange> const& Referenced) const;
    std::uint64_t PageDown(std::uint64_t Address) const noexcept { return Address / m_PageSize * m_PageSize; }
    std::uint64_t PageUp(std::uint64_t Address) const noexcept { return PageDown(Address + m_PageSize - 1); }

    std::uint32_t m_MinidumpType;
    std::uint64_t m_PageSize;
};
} // namespace Application
