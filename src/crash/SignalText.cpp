// SPDX-License-Identifier: GPL-2.0-or-later
#include "crash/SignalText.h"

#include <cstring>

#include "base/StringFormat.h"

namespace Application
{
namespace
{
struct CodeName
{
    int Signal; // 0: any signal
    int Code;
    char const* Name;
    char const* Meaning;
};

constexpr CodeName CodeNames[] = {
    {SIGSEGV, SEGV_MAPERR, "SEGV_MAPERR", "address not mapped to object"},
    {SIGSEGV, SEGV_ACCERR, "SEGV_ACCERR", "invalid permissions for mapped object"},
    {SIGBUS, BUS_ADRALN, "BUS_ADRALN", "invalid address alignment"},
    {SIGBUS, BUS_ADRERR, "BUS_ADRERR", "nonexistent physical address"},
    {SIGBUS, BUS_OBJERR, "BUS_OBJERR", "object-specific hardware error"},
    {SIGFPE, FPE_INTDIV, "FPE_INTDIV", "integer divide by zero"},
    {SIGFPE, FPE_INTOVF, "FPE_INTOVF", "integer overflow"},
    {SIGFPE, FPE_FLTDIV, "FPE_FLTDIV", "floating-point divide by zero"},
    {SIGFPE, FPE_FLTOVF, "FPE_FLTOVF", "floating-point overflow"},
    {SIGFPE, FPE_FLTUND, "FPE_FLTUND", "floating-point underflow"},
    {SIGFPE, FPE_FLTRES, "FPE_FLTRES", "floating-point inexact result"},
    {SIGFPE, FPE_FLTINV, "FPE_FLTINV", "floating-point invalid operation"},
    {SIGILL, ILL_ILLOPC, "ILL_ILLOPC", "illegal opcode"},
    {SIGILL, ILL_ILLOPN, "ILL_ILLOPN", "illegal operand"},
    {SIGILL, ILL_ILLADR, "ILL_ILLADR", "illegal addressing mode"},
    {SIGILL, ILL_ILLTRP, "ILL_ILLTRP", "illegal trap"},
    {SIGILL, ILL_PRVOPC, "ILL_PRVOPC", "privileged opcode"},
    {SIGILL, ILL_BADSTK, "ILL_BADSTK", "internal stack error"},
    {0, SI_KERNEL, "SI_KERNEL", "sent by the kernel"},
};

bool IsSentByProcess(int Code)
{
    return Code == SI_USER || Code == SI_TKILL || Code == SI_QUEUE;
}
} // namespace

std::string SignalName(int Signal)
{
    if(char const* Abbreviation = sigabbrev_np(Signal))
        return std::string("SIG") + Abbreviation;
    return StringFormat("SIG%d", Signal);
}

std::string DescribeSignalOrigin(siginfo_t const& Information, pid_t Receiver)
{
    if(IsSentByProcess(Information.si_code))
    {
        pid_t const Sender = Information.si_pid;
        char const* Call = Information.si_code == SI_USER ? "kill" : Information.si_code == SI_TKILL ? "tgkill" : "sigqueue";
        // abort() and raise() send the signal to the process itself.
        return Sender == Receiver ? StringFormat("raised by the process itself (%s)", Call)
                                  : StringFormat("sent by process %d with %s", static_cast<int>(Sender), Call);
    }
    std::string Text = StringFormat("code %d", Information.si_code);
    for(auto const& Entry : CodeNames)
        if((Entry.Signal == 0 || Entry.Signal == Information.si_signo) && Entry.Code == Information.si_code)
            Text = StringFormat("%s (%s)", Entry.Name, Entry.Meaning);
    int const Signal = Information.si_signo;
    if(Signal == SIGSEGV || Signal == SIGBUS || Signal == SIGFPE || Signal == SIGILL || Signal == SIGTRAP)
        Text += StringFormat(" at address 0x%016llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(Information.si_addr)));
    return Text;
}
} // namespace Application
