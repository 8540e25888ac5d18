// SPDX-License-Identifier: GPL-2.0-or-later
#include "crash/CrashWatcher.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <unistd.h>

#include "base/Check.h"
#include "base/StringFormat.h"
#include "crash/CoreFileWriter.h"
#include "crash/CrashReport.h"
#include "crash/DumpPlan.h"
#include "crash/LoaderModuleList.h"
#include "crash/ProcessSnapshot.h"
#include "crash/SignalText.h"
#include "crash/StackWalker.h"

namespace Application
{
namespace
{
std::string ReadLine(std::string const& Path)
{
    std::ifstream Stream(Path);
    std::string Line;
    std::getline(Stream, Line);
    return Line;
}

// Whether the process has a handler of its own for the signal (SigCgt).
bool IsCaught(pid_t Process, int Signal)
{
    std::ifstream Stream("/proc/" + std::to_string(Process) + "/status");
    for(std::string Line; std::getline(Stream, Line);)
        if(Line.starts_with("SigCgt:"))
            return (std::stoull(Line.substr(7), nullptr, 16) >> (Signal - 1)) & 1;
    return false;
}

// A breakpoint instruction: a debugger steps over it instead of letting it
// end the process.
bool IsBreakpoint(siginfo_t const& Information)
{
    return Information.si_signo == SIGTRAP && (Information.si_code == SI_KERNEL || Information.si_code == TRAP_BRKPT);
}

void WriteText(std::filesystem::path const& Path, std::string const& Text)
{
    std::ofstream Stream(Path, std::ios::binary | std::ios::trunc);
    Stream << Text;
}
} // namespace

void CrashWatcher::Run()
{
    while(auto const Stop = m_Traced.WaitForSignal())
    {
        if(Stop->Signal == SIGTRAP && IsBreakpoint(m_Traced.GetSignalInformation(Stop->Thread)))
        {
            m_Traced.Resume(Stop->Thread, 0);
            continue;
        }
        if(IsFatal(Stop->Signal) && !IsCaught(m_Traced.GetProcess(), Stop->Signal))
            ReportCrash(Stop->Thread, Stop->Signal);
        // The process's own course: its handler, or the default action.
        m_Traced.Resume(Stop->Thread, Stop->Signal);
    }
}

bool CrashWatcher::IsFatal(int Signal) const
{
    // The signals whose default action ends the process with a core dump,
    // abort() (also after an uncaught exception) among them.
    switch(Signal)
    {
    case SIGSEGV:
    case SIGBUS:
    case SIGFPE:
    case SIGILL:
    case SIGABRT:
    case SIGSYS:
        return true;
    default:
        return false;
    }
}

std::filesystem::path CrashWatcher::ChooseDumpDirectory() const
{
    if(!m_DumpDirectory.empty())
        return m_DumpDirectory;
    // A service's state folder, which systemd makes for it and names here;
    // a program in /usr/bin must not fill that folder with dumps.
    if(char const* States = std::getenv("STATE_DIRECTORY"); States && *States)
        return std::string(States).substr(0, std::string(States).find(':'));
    // Beside the program, unless that folder cannot take files (a
    // read-only mount, no permission): then the working directory.
    std::error_code Error;
    auto const Program = std::filesystem::read_symlink("/proc/" + std::to_string(m_Traced.GetProcess()) + "/exe", Error);
    if(!Error && access(Program.parent_path().c_str(), W_OK) == 0)
        return Program.parent_path();
    return std::filesystem::current_path(Error);
}

void CrashWatcher::ReportCrash(pid_t Thread, int Signal)
{
    pid_t const Process = m_Traced.GetProcess();
    m_Traced.StopOtherThreads(Thread);
    CrashReport Report;
    Report.Process = Process;
    Report.Thread = Thread;
    Report.ThreadName = ReadLine(StringFormat("/proc/%d/task/%d/comm", static_cast<int>(Process), static_cast<int>(Thread)));
    Report.MinidumpType = m_MinidumpType;
    Report.Build = BuildInfo::Read();
    Report.Signal = m_Traced.GetSignalInformation(Thread);
    Report.DumpPath = MakeDumpPath(ChooseDumpDirectory(), Report.Build.FileName, Process, m_DumpCounter++, SignalName(Signal));
    try
    {
        auto const Snapshot = ProcessSnapshot::Take(m_Traced, Thread, Signal);
        ProcessMemory const Memory(Process);
        std::vector<std::uint64_t> StackPointers;
        for(auto const& State : Snapshot.Threads)
            StackPointers.push_back(State.GetStackPointer());
        auto const PageSize = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
        auto const Segments = DumpPlan(m_MinidumpType, PageSize).Make(Snapshot.Regions, StackPointers, LoaderModuleList::FindRanges(Memory, Snapshot.Auxiliary));
        Report.DumpBytes = CoreFileWriter(Snapshot, Memory, PageSize).Write(Report.DumpPath, Segments);
    }
    catch(std::exception const& Exception)
    {
        Report.DumpFailure = Exception.what();
    }
    try
    {
        Report.Stack = StackWalker(Process).Walk(Thread);
    }
    catch(std::exception const& Exception)
    {
        Report.StackFailure = Exception.what();
    }
    std::string const Text = Report.Format();
    auto ReportPath = Report.DumpPath;
    WriteText(ReportPath.replace_extension(".txt"), Text);
    std::fwrite(Text.data(), 1, Text.size(), stderr);
    std::fflush(stderr);
    m_Traced.ResumeOtherThreads(Thread);
}
} // namespace Application
