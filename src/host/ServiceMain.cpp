// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/ServiceMain.h"

#include <csignal>
#include <thread>

#include "app/server/Console.h"
#include "base/Check.h"
#include "host/ServiceStatusNotifier.h"

namespace Application
{
namespace
{
// Waits for SIGTERM (blocked in every thread since start-up) and turns it
// into the stop request: stop pending at once, then the stop event, which
// ends the server loop as Ctrl+C does in the console.
void StartServiceControlHandler(ServiceStatusNotifier& Notifier, ManualResetEvent& StopEvent)
{
    std::thread([&Notifier, &StopEvent] {
        sigset_t Set;
        sigemptyset(&Set);
        sigaddset(&Set, SIGTERM);
        int Signal = 0;
        while(sigwait(&Set, &Signal) != 0)
            ;
        TRACE("Stop request\n");
        Notifier.Report(ServiceState::StopPending);
        StopEvent.Set();
    }).detach();
}
} // namespace

int ServiceMain::Run(std::vector<std::string> const& Arguments, ServiceContextFactory const& Factory)
{
    // Process-wide: the control handler thread may use them until the end.
    static ServiceStatusNotifier Notifier;
    static ManualResetEvent StopEvent;
    Notifier.Report(ServiceState::StartPending);
    StartServiceControlHandler(Notifier, StopEvent);
    int ExitCode = 0;
    try
    {
        auto const Context = Factory(Arguments);
        Context->Run(StopEvent, [] { Notifier.Report(ServiceState::Running); });
    }
    catch(HResultError const& Error)
    {
        ConsoleErrorLine("Exception 0x%08X %s", static_cast<unsigned>(Error.Code()), Error.Message().c_str());
        ExitCode = 1;
    }
    catch(std::exception const& Exception)
    {
        ConsoleErrorLine("Exception %s", Exception.what());
        ExitCode = 1;
    }
    Notifier.Report(ServiceState::Stopped);
    return ExitCode;
}
} // namespace Application
