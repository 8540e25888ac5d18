// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <map>
#include <optional>
#include <vector>

#include <signal.h>
#include <sys/procfs.h>
#include <sys/types.h>

namespace Application
{
// A process this one traces with ptrace: every thread, present and future,
// is seized, so that a fatal signal stops the thread it is meant for before
// it is delivered. The traced process runs no code of ours for this: its
// heap, stacks and locks may be in any state.
class TracedProcess
{
public:
    // A thread stopped before a signal is delivered to it.
    struct SignalStop
    {
        pid_t Thread = 0;
        int Signal = 0;
    };

    explicit TracedProcess(pid_t Process) : m_Process(Process) {}
    TracedProcess(TracedProcess const&) = delete;
    TracedProcess& operator=(TracedProcess const&) = delete;

    pid_t GetProcess() const noexcept { return m_Process; }

    // Seizes every thread; threads started later are seized as they start.
    void Attach();
    // Lets threads run through stops that need no decision (a new thread,
    // a stop request) and returns the next signal about to be delivered;
    // nothing once the process has ended.
    std::optional<SignalStop> WaitForSignal();
    // Delivers Signal (0: none) and lets the thread run on.
    void Resume(pid_t Thread, int Signal);

    // Brings every thread but Thread to a stop, so that registers and memory
    // hold still while a dump is written.
    void StopOtherThreads(pid_t Thread);
    // Lets them run on, each with the signal it was about to get.
    void ResumeOtherThreads(pid_t Thread);

    // How the process ended (a waitpid status), once it has.
    int GetExitStatus() const noexcept { return m_ExitStatus; }

    // The threads known now, Thread first when it is one of them.
    std::vector<pid_t> ListThreads(pid_t First) const;
    siginfo_t GetSignalInformation(pid_t Thread) const;
    void GetRegisters(pid_t Thread, elf_gregset_t& Registers) const;
    // False when the thread's floating-point state cannot be read.
    bool GetFloatingPointRegisters(pid_t Thread, elf_fpregset_t& Registers) const;

private:
    struct ThreadState
    {
        bool Stopped = false;
        int PendingSignal = 0;
    };

    bool Seize(pid_t Thread);
    // One wait status of a thread; false when the process has ended.
    bool WaitForStatus(pid_t& Thread, int& Status);
    void AddThread(pid_t Thread);
    void AddClonedThread(pid_t Parent);

    pid_t m_Process;
    std::map<pid_t, ThreadState> m_Threads;
    int m_ExitStatus = 0;
};
} // namespace Application
