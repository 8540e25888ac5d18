// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "crash/DumpPlan.h"
#include "crash/ProcessMemory.h"

namespace Application
{
// Where the dynamic loader keeps its list of loaded modules in a process:
// the r_debug record the program's DT_DEBUG entry points to and every
// link_map entry with its name. A debugger reads this list from a core file
// to find the shared libraries, so a dump must hold these bytes even when it
// holds no heap. The walk is bounded and takes nothing it reads on trust.
class LoaderModuleList
{
public:
    static constexpr std::size_t MaximalModules = 4096;
    static constexpr std::size_t MaximalNameLength = 4096;

    // Auxiliary is the process's auxiliary vector (/proc/<pid>/auxv).
    static std::vector<AddressRange> FindRanges(ProcessMemory const& Memory, std::vector<std::uint8_t> const& Auxiliary);

private:
    // The program's dynamic section, where the loader wrote the address of
    // its r_debug record (DT_DEBUG); empty when there is none.
    static AddressRange FindDynamicSection(ProcessMemory const& Memory, std::vector<std::uint8_t> const& Auxiliary);
    static std::uint64_t FindDebugRecord(ProcessMemory const& Memory, AddressRange const& Dynamic);
};
} // namespace Application
