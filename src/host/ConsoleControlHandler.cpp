// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/ConsoleControlHandler.h"

#include <csignal>
#include <thread>

#include "app/server/Console.h"
#include "base/Check.h"
#include "base/StringFormat.h"

namespace Application
{
namespace
{
sigset_t ControlSignals()
{
    sigset_t Set;
    sigemptyset(&Set);
    for(int Signal : {SIGINT, SIGQUIT, SIGHUP, SIGTERM})
        sigaddset(&Set, Signal);
    return Set;
}

unsigned ControlTypeOfSignal(int Signal)
{
    switch(Signal)
    {
    case SIGINT: return CtrlCEvent;
    case SIGQUIT: return CtrlBreakEvent;
    case SIGHUP: return CtrlCloseEvent;
    default: return CtrlShutdownEvent;
    }
}
} // namespace

std::string ControlTypeName(unsigned Type)
{
    switch(Type)
    {
    case CtrlCEvent: return "CTRL_C_EVENT";
    case CtrlBreakEvent: return "CTRL_BREAK_EVENT";
    case CtrlCloseEvent: return "CTRL_CLOSE_EVENT";
    case CtrlLogoffEvent: return "CTRL_LOGOFF_EVENT";
    case CtrlShutdownEvent: return "CTRL_SHUTDOWN_EVENT";
    default: return StringFormat("0x%X", Type);
    }
}

bool HandlerRoutine(unsigned Type, ManualResetEvent& Termination)
{
    std::string const Name = ControlTypeName(Type);
    ConsoleLine("Console Control Handler: %s", Name.c_str());
    TRACE("Type %s\n", Name.c_str());
    switch(Type)
    {
    case CtrlCEvent:
    case CtrlBreakEvent:
    case CtrlCloseEvent:
    case CtrlLogoffEvent:
    case CtrlShutdownEvent:
        Termination.Set();
        return true;
    default:
        return false;
    }
}

void BlockControlSignals()
{
    sigset_t const Set = ControlSignals();
    int const Result = pthread_sigmask(SIG_BLOCK, &Set, nullptr);
    CHECK_CONDITION(Result == 0, HResultFromErrno(Result));
    std::signal(SIGPIPE, SIG_IGN);
}

void StartConsoleControlHandler(ManualResetEvent& Termination)
{
    std::thread([&Termination] {
        sigset_t const Set = ControlSignals();
        for(;;)
        {
            int Signal = 0;
            if(sigwait(&Set, &Signal) == 0)
                HandlerRoutine(ControlTypeOfSignal(Signal), Termination);
        }
    }).detach();
}
} // namespace Application
