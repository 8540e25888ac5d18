// SPDX-License-Identifier: GPL-2.0-or-later
// The entry point of quorvel: the crash watcher of a self-debugging server,
// the service commands and the service, the banner, the syntax help and the
// adapter list, or the console server until a control signal arrives.

#include <cstdio>

#include "app/server/Console.h"
#include "base/BuildInfo.h"
#include "base/HResultError.h"
#include "host/AdapterList.h"
#include "host/ApplicationContext.h"
#include "host/CommandLineOptions.h"
#include "host/ConsoleControlHandler.h"
#include "host/DebugCommandLine.h"
#include "host/HostText.h"
#include "host/ServiceCommand.h"

namespace
{
// Set by the console control handler; ends the server loop.
Application::ManualResetEvent TerminationEvent;

// The syntax help or the adapter list, when an option asks for one; the
// first such option decides.
bool RunInformationCourse(std::vector<std::string> const& Arguments)
{
    for(auto const& Argument : Arguments)
    {
        std::string Name;
        std::string Value;
        if(!Application::ParseOptionArgument(Argument, Name, Value))
            continue;
        if(Application::IsOptionName(Name, {"Syntax", "?"}))
        {
            Application::PrintSyntax();
            return true;
        }
        if(Application::IsOptionName(Name, {"EnumerateAdapters", "ea"}))
        {
            Application::PrintAdapters();
            return true;
        }
    }
    return false;
}

int RunConsoleServer(std::vector<std::string> const& Arguments)
{
    Application::PrintBanner(BuildInfo::Read());
    if(RunInformationCourse(Arguments))
        return 0;
    Application::StartConsoleControlHandler(TerminationEvent);
    auto const Context = Application::ApplicationContext::Create(false, Arguments);
    Context->Run(TerminationEvent);
    return 0;
}
} // namespace

int main(int ArgumentCount, char* ArgumentValues[])
{
    // Before any thread starts, so that only the handler thread sees the signals.
    Application::BlockControlSignals();
    std::vector<std::string> const Arguments(ArgumentValues, ArgumentValues + ArgumentCount);
    try
    {
        if(Application::RunDebugger(Arguments))
            return 0;
        Application::StartSelfDebugging(Arguments);
        int ExitCode = 0;
        if(Application::ProcessServiceCommand(Arguments, ExitCode, [](auto const& ServiceArguments) {
               return Application::ApplicationContext::Create(true, ServiceArguments);
           }))
            return ExitCode;
        return RunConsoleServer(Arguments);
    }
    catch(HResultError const& Error)
    {
        Application::ConsoleErrorLine("Exception 0x%08X %s", static_cast<unsigned>(Error.Code()), Error.Message().c_str());
    }
    catch(...)
    {
        Application::ConsoleErrorLine("Exception");
    }
    // A server that could not start or failed says so to whoever started it.
    return 1;
}
