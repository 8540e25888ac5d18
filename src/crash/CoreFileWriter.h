// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "base/FileDescriptor.h"
#include "crash/DumpPlan.h"
#include "crash/ProcessMemory.h"
#include "crash/ProcessSnapshot.h"

namespace Application
{
// Writes an ELF core file of a stopped process, as the kernel would, for
// gdb and the elfutils tools: the threads' registers, the signal, the
// auxiliary vector and the mapped files as notes, then one load segment per
// piece of memory. Zero pages are left as holes, so the file is sparse.
class CoreFileWriter
{
public:
    CoreFileWriter(ProcessSnapshot const& Snapshot, ProcessMemory const& Memory, std::uint64_t PageSize) :
        m_Snapshot(Snapshot), m_Memory(Memory), m_PageSize(PageSize)
    {
    }

    // Creates the file anew (readable by its owner only: it holds the
    // process's memory) and returns the number of memory bytes it holds.
    std::uint64_t Write(std::filesystem::path const& Path, std::vector<CoreSegment> const& Segments) const;

    // The note segment's contents.
    std::vector<std::uint8_t> BuildNotes() const;

private:
    std::uint64_t WriteMemory(FileDescriptor const& File, std::uint64_t FileOffset, CoreSegment const& Segment) const;

    ProcessSnapshot const& m_Snapshot;
    ProcessMemory const& m_Memory;
    std::uint64_t m_PageSize;
};
} // namespace Application
