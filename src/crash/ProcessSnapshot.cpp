// SPDX-License-Identifier: GPL-2.0-or-later
#include "crash/ProcessSnapshot.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/user.h>

namespace Application
{
namespace
{
std::string ReadProcessFile(pid_t Process, char const* Name)
{
    std::ifstream Stream("/proc/" + std::to_string(Process) + "/" + Name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>());
}

// The fields after the command name in /proc/<pid>/stat: state, parent,
// process group, session.
void ReadStat(ProcessSnapshot& Snapshot)
{
    std::string const Text = ReadProcessFile(Snapshot.Process, "stat");
    std::size_t const Close = Text.rfind(')');
    if(Close == std::string::npos)
        return;
    std::istringstream Stream(Text.substr(Close + 1));
    char State = 0;
    Stream >> State >> Snapshot.Parent >> Snapshot.ProcessGroup >> Snapshot.Session;
}

unsigned ReadStatusNumber(std::string const& Status, std::string const& Key)
{
    std::size_t const Position = Status.find("\n" + Key + ":");
    if(Position == std::string::npos)
        return 0;
    return static_cast<unsigned>(std::strtoul(Status.c_str() + Position + Key.size() + 2, nullptr, 10));
}
} // namespace

std::uint64_t ThreadSnapshot::GetStackPointer() const noexcept
{
    // The register set is the kernel's struct user_regs_struct.
    user_regs_struct Named;
    static_assert(sizeof Named == sizeof Registers);
    std::memcpy(&Named, &Registers, sizeof Named);
#if defined(__x86_64__)
    return Named.rsp;
#elif defined(__aarch64__)
    return Named.sp;
#else
#error "Stack pointer of this architecture unknown"
#endif
}

ProcessSnapshot ProcessSnapshot::Take(TracedProcess const& Traced, pid_t FaultingThread, int Signal)
{
    ProcessSnapshot Snapshot;
    Snapshot.Process = Traced.GetProcess();
    ReadStat(Snapshot);
    std::string const Status = ReadProcessFile(Snapshot.Process, "status");
    Snapshot.User = ReadStatusNumber(Status, "Uid");
    Snapshot.Group = ReadStatusNumber(Status, "Gid");
    Snapshot.Command = ReadProcessFile(Snapshot.Process, "comm");
    if(Snapshot.Command.ends_with('\n'))
        Snapshot.Command.pop_back();
    Snapshot.Arguments = ReadProcessFile(Snapshot.Process, "cmdline");
    while(Snapshot.Arguments.ends_with('\0'))
        Snapshot.Arguments.pop_back();
    std::replace(Snapshot.Arguments.begin(), Snapshot.Arguments.end(), '\0', ' ');
    Snapshot.Signal = Traced.GetSignalInformation(FaultingThread);
    for(pid_t const Thread : Traced.ListThreads(FaultingThread))
    {
        ThreadSnapshot State;
        State.Thread = Thread;
        Traced.GetRegisters(Thread, State.Registers);
        State.HasFloatingPointRegisters = Traced.GetFloatingPointRegisters(Thread, State.FloatingPointRegisters);
        State.CurrentSignal = Thread == FaultingThread ? Signal : 0;
        Snapshot.Threads.push_back(State);
    }
    std::string const Auxiliary = ReadProcessFile(Snapshot.Process, "auxv");
    Snapshot.Auxiliary.assign(Auxiliary.begin(), Auxiliary.end());
    Snapshot.Regions = MemoryRegion::ReadMaps(Snapshot.Process);
    return Snapshot;
}
} // namespace Application
