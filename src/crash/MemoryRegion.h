// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace Application
{
// One mapping of a process as /proc/<pid>/maps lists it.
struct MemoryRegion
{
    std::uint64_t Start = 0;
    std::uint64_t End = 0;
    bool Readable = false;
    bool Writable = false;
    bool Executable = false;
    bool Private = false;
    std::uint64_t Offset = 0; // into the mapped file
    std::uint64_t Inode = 0;  // 0 for anonymous memory
    std::string Path;         // file path, "[stack]", "[heap]", "[vdso]", ... or empty

    bool IsFileBacked() const noexcept { return Inode != 0 && Path.starts_with('/'); }
    bool Contains(std::uint64_t Address) const noexcept { return Address >= Start && Address < End; }
    std::uint64_t Size() const noexcept { return End - Start; }

    // "55d0c1a00000-55d0c1a2b000 r-xp 00001000 08:01 1234567   /usr/bin/quorvel";
    // nothing for a line of another form.
    static std::optional<MemoryRegion> Parse(std::string_view Line);
    // Every mapping of the process, in address order.
    static std::vector<MemoryRegion> ReadMaps(pid_t Process);
};
} // namespace Application
