// SPDX-License-Identifier: GPL-2.0-or-later
#include "crash/MemoryRegion.h"

#include <cinttypes>
#include <cstdio>
#include <fstream>

#include "base/Check.h"

namespace Application
{
std::optional<MemoryRegion> MemoryRegion::Parse(std::string_view Line)
{
    std::string const Text(Line);
    MemoryRegion Region;
    char Permissions[5] = {};
    unsigned Major = 0;
    unsigned Minor = 0;
    int PathPosition = 0;
    if(std::sscanf(Text.c_str(), "%" SCNx64 "-%" SCNx64 " %4s %" SCNx64 " %x:%x %" SCNu64 " %n", &Region.Start, &Region.End, Permissions,
                   &Region.Offset, &Major, &Minor, &Region.Inode, &PathPosition) < 7 ||
       Region.End < Region.Start || std::string_view(Permissions).size() != 4)
        return std::nullopt;
    Region.Readable = Permissions[0] == 'r';
    Region.Writable = Permissions[1] == 'w';
    Region.Executable = Permissions[2] == 'x';
    Region.Private = Permissions[3] == 'p';
    if(PathPosition > 0 && static_cast<std::size_t>(PathPosition) <= Text.size())
        Region.Path = Text.substr(static_cast<std::size_t>(PathPosition));
    return Region;
}

std::vector<MemoryRegion> MemoryRegion::ReadMaps(pid_t Process)
{
    std::ifstream Stream("/proc/" + std::to_string(Process) + "/maps");
    CHECK_CONDITION(Stream.is_open(), HResultFromErrno(ESRCH));
    std::vector<MemoryRegion> Regions;
    for(std::string Line; std::getline(Stream, Line);)
        if(auto Region = Parse(Line))
            Regions.push_back(std::move(*Region));
    return Regions;
}
} // namespace Application
