// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crash/MemoryRegion.h"
#include "crash/TracedProcess.h"

namespace Application
{
// The state of one stopped thread.
struct ThreadSnapshot
{
    pid_t Thread = 0;
    elf_gregset_t Registers{};
    elf_fpregset_t FloatingPointRegisters{};
    bool HasFloatingPointRegisters = false;
    // The signal about to be delivered to this thread, 0 for none.
    int CurrentSignal = 0;

    std::uint64_t GetStackPointer() const noexcept;
};

// What a core file says about a process besides its memory, read while every
// thread is stopped.
struct ProcessSnapshot
{
    pid_t Process = 0;
    pid_t Parent = 0;
    pid_t ProcessGroup = 0;
    pid_t Session = 0;
    unsigned User = 0;
    unsigned Group = 0;
    std::string Command;       // the short name of /proc/<pid>/comm
    std::string Arguments;     // the command line, blank-separated
    siginfo_t Signal{};        // of the faulting thread
    std::vector<ThreadSnapshot> Threads; // the faulting thread first
    std::vector<std::uint8_t> Auxiliary;
    std::vector<MemoryRegion> Regions;

    // Reads it from the process, whose threads are all stopped.
    static ProcessSnapshot Take(TracedProcess const& Traced, pid_t FaultingThread, int Signal);
};
} // namespace Application
