// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>

#include "crash/TracedProcess.h"

namespace Application
{
// The watching side of self-debugging: traces the server process and, when
// a signal is about to kill it, stops it whole, writes a core dump and a
// crash report beside the program, and lets the signal take its course.
//
// It runs in a process of its own so that nothing it needs lives in the
// dying process: a corrupt heap, an overflowed stack or a held lock there
// cannot stop the report.
class CrashWatcher
{
public:
    // Dumps go to DumpDirectory when given, else to the service's state
    // folder under systemd, else beside the program.
    CrashWatcher(pid_t Process, std::uint32_t MinidumpType, std::filesystem::path DumpDirectory = {}) :
        m_Traced(Process), m_MinidumpType(MinidumpType), m_DumpDirectory(std::move(DumpDirectory))
    {
    }

    // Traces every thread of the process; raises when that is not allowed.
    void Attach() { m_Traced.Attach(); }
    // Returns when the process has ended.
    void Run();
    // How the process ended (a waitpid status), once Run has returned.
    int GetExitStatus() const noexcept { return m_Traced.GetExitStatus(); }

private:
    bool IsFatal(int Signal) const;
    void ReportCrash(pid_t Thread, int Signal);
    std::filesystem::path ChooseDumpDirectory() const;

    TracedProcess m_Traced;
    std::uint32_t m_MinidumpType;
    std::filesystem::path m_DumpDirectory;
    unsigned m_DumpCounter = 0;
};
} // namespace Application
