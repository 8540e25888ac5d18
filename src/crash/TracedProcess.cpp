// SPDX-License-Identifier: GPL-2.0-or-later
#include "crash/TracedProcess.h"

#include <cstring>
#include <filesystem>
#include <vector>

#include <elf.h>
#include <sys/ptrace.h>
#include <sys/uio.h>
#include <sys/wait.h>

#include "base/Check.h"
#include "base/StringFormat.h"

namespace Application
{
namespace
{
// A stop the kernel reports as PTRACE_EVENT_STOP with one of these is a
// group stop (SIGSTOP and its kin): the thread must stay stopped.
bool IsGroupStopSignal(int Signal)
{
    return Signal == SIGSTOP || Signal == SIGTSTP || Signal == SIGTTIN || Signal == SIGTTOU;
}

std::vector<pid_t> ReadTaskList(pid_t Process)
{
    std::vector<pid_t> Threads;
    std::error_code Error;
    for(auto const& Entry : std::filesystem::directory_iterator("/proc/" + std::to_string(Process) + "/task", Error))
        Threads.push_back(static_cast<pid_t>(std::stol(Entry.path().filename().string())));
    CHECK_CONDITION(!Error, HResultFromErrno(Error.value()));
    return Threads;
}
} // namespace

bool TracedProcess::Seize(pid_t Thread)
{
    if(ptrace(PTRACE_SEIZE, Thread, nullptr, reinterpret_cast<void*>(PTRACE_O_TRACECLONE)) == 0)
        return true;
    // A thread that ended between listing and seizing is no failure.
    if(errno == ESRCH)
        return false;
    int const Error = errno;
    throw HResultError(HResultFromErrno(Error), StringFormat("Cannot trace process %d: %s", static_cast<int>(m_Process), strerror(Error)));
}

void TracedProcess::Attach()
{
    // Threads may start while the list is read: read it again until every
    // thread in it has been seized (later ones are seized by the kernel).
    for(bool Added = true; Added;)
    {
        Added = false;
        for(pid_t const Thread : ReadTaskList(m_Process))
            if(!m_Threads.contains(Thread) && Seize(Thread))
            {
                AddThread(Thread);
                Added = true;
            }
    }
    CHECK_CONDITION(m_Threads.contains(m_Process), HResultFromErrno(ESRCH));
}

void TracedProcess::AddThread(pid_t Thread)
{
    m_Threads.try_emplace(Thread);
}

void TracedProcess::AddClonedThread(pid_t Parent)
{
    // Known from here on, so that a stop of every thread waits for it too;
    // unless it has come and gone already (its end may be reported first).
    unsigned long Thread = 0;
    std::error_code Error;
    if(ptrace(PTRACE_GETEVENTMSG, Parent, nullptr, &Thread) == 0 && Thread != 0 &&
       std::filesystem::exists(StringFormat("/proc/%d/task/%lu", static_cast<int>(m_Process), Thread), Error))
        AddThread(static_cast<pid_t>(Thread));
}

bool TracedProcess::WaitForStatus(pid_t& Thread, int& Status)
{
    for(;;)
    {
        Thread = waitpid(-1, &Status, __WALL);
        if(Thread > 0)
            break;
        if(errno == EINTR)
            continue;
        if(errno == ECHILD)
            return false;
        CHECK_ERRNO(Thread);
    }
    if(WIFEXITED(Status) || WIFSIGNALED(Status))
    {
        m_Threads.erase(Thread);
        // The leader's end is reported after every other thread's.
        if(Thread != m_Process)
            return true;
        m_ExitStatus = Status;
        return false;
    }
    AddThread(Thread);
    return true;
}

std::optional<TracedProcess::SignalStop> TracedProcess::WaitForSignal()
{
    for(;;)
    {
        pid_t Thread = 0;
        int Status = 0;
        if(!WaitForStatus(Thread, Status))
            return std::nullopt;
        if(!WIFSTOPPED(Status))
            continue;
        int const Signal = WSTOPSIG(Status);
        unsigned const Event = static_cast<unsigned>(Status) >> 16;
        if(Event == PTRACE_EVENT_CLONE)
            AddClonedThread(Thread);
        if(Event == PTRACE_EVENT_STOP && IsGroupStopSignal(Signal))
            ptrace(PTRACE_LISTEN, Thread, nullptr, nullptr);
        else if(Event != 0)
            Resume(Thread, 0); // a new thread, a clone, or a stop request already served
        else
            return SignalStop{Thread, Signal};
    }
}

void TracedProcess::Resume(pid_t Thread, int Signal)
{
    // A thread killed meanwhile (ESRCH) has nothing left to resume.
    ptrace(PTRACE_CONT, Thread, nullptr, reinterpret_cast<void*>(static_cast<std::intptr_t>(Signal)));
    if(auto const Found = m_Threads.find(Thread); Found != m_Threads.end())
        Found->second = {};
}

void TracedProcess::StopOtherThreads(pid_t Thread)
{
    auto const IsWaitedFor = [&](auto const& Entry) { return Entry.first != Thread && !Entry.second.Stopped; };
    // A thread that is gone cannot be waited for.
    std::erase_if(m_Threads, [&](auto const& Entry) {
        return IsWaitedFor(Entry) && ptrace(PTRACE_INTERRUPT, Entry.first, nullptr, nullptr) != 0 && errno == ESRCH;
    });
    while(std::any_of(m_Threads.begin(), m_Threads.end(), IsWaitedFor))
    {
        pid_t Stopped = 0;
        int Status = 0;
        if(!WaitForStatus(Stopped, Status))
            return;
        if(!WIFSTOPPED(Status))
            continue;
        if((static_cast<unsigned>(Status) >> 16) == PTRACE_EVENT_CLONE)
            AddClonedThread(Stopped);
        auto& State = m_Threads[Stopped];
        State.Stopped = true;
        // A signal about to be delivered is delivered when the thread resumes.
        State.PendingSignal = (static_cast<unsigned>(Status) >> 16) == 0 ? WSTOPSIG(Status) : 0;
    }
}

void TracedProcess::ResumeOtherThreads(pid_t Thread)
{
    for(auto& [Other, State] : m_Threads)
        if(Other != Thread && State.Stopped)
            Resume(Other, State.PendingSignal);
}

std::vector<pid_t> TracedProcess::ListThreads(pid_t First) const
{
    std::vector<pid_t> Threads;
    if(m_Threads.contains(First))
        Threads.push_back(First);
    for(auto const& Entry : m_Threads)
        if(Entry.first != First)
            Threads.push_back(Entry.first);
    return Threads;
}

siginfo_t TracedProcess::GetSignalInformation(pid_t Thread) const
{
    siginfo_t Information{};
    CHECK_ERRNO(ptrace(PTRACE_GETSIGINFO, Thread, nullptr, &Information));
    return Information;
}

void TracedProcess::GetRegisters(pid_t Thread, elf_gregset_t& Registers) const
{
    iovec Vector{&Registers, sizeof Registers};
    CHECK_ERRNO(ptrace(PTRACE_GETREGSET, Thread, reinterpret_cast<void*>(NT_PRSTATUS), &Vector));
}

bool TracedProcess::GetFloatingPointRegisters(pid_t Thread, elf_fpregset_t& Registers) const
{
    iovec Vector{&Registers, sizeof Registers};
    return ptrace(PTRACE_GETREGSET, Thread, reinterpret_cast<void*>(NT_FPREGSET), &Vector) == 0;
}
} // namespace Application
