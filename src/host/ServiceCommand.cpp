// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/ServiceCommand.h"

#include <filesystem>

#include "app/server/Console.h"
#include "base/StringFormat.h"
#include "crash/SelfDebugging.h"
#include "host/CommandLineOptions.h"
#include "host/ServiceMain.h"
#include "host/SystemdManager.h"
#include "host/SystemdUnit.h"

namespace Application
{
namespace
{
std::string const UnitName(SystemdUnit::Name);

// Whether to reload and start or stop through systemd; says on one line
// why not when it cannot.
bool CanTellSystemd()
{
    if(SystemdUnit::IsDirectoryOverridden())
    {
        ConsoleErrorLine("Warning, the unit folder is set by %s: systemd is not told about the service", SystemdUnit::DirectoryVariable);
        return false;
    }
    if(!SystemdManager::IsRunning())
    {
        ConsoleErrorLine("Warning, systemd is not running: the service is enabled for boot but not started or stopped now");
        return false;
    }
    return true;
}

void Install(std::vector<std::string> const& Arguments)
{
    SystemdUnit const Unit(SystemdUnit::GetDirectory());
    auto const Program = std::filesystem::read_symlink("/proc/self/exe").string();
    // A server started with -Debug installs a service that debugs itself.
    auto const CommandLine = SystemdUnit::MakeCommandLine(Program, Arguments, SelfDebugging::IsDebuggerAttached());
    Unit.Install(SystemdUnit::MakeText(CommandLine));
    ConsoleLine("Service %s installed: %s", UnitName.c_str(), Unit.GetPath().c_str());
    if(!CanTellSystemd())
        return;
    SystemdManager::Run({"daemon-reload"});
    SystemdManager::Run({"start", UnitName});
    ConsoleLine("Service %s started", UnitName.c_str());
}

void Delete()
{
    SystemdUnit const Unit(SystemdUnit::GetDirectory());
    // Before stopping: a user who may not remove it must not stop it.
    Unit.CheckRemovable();
    bool const TellSystemd = CanTellSystemd();
    if(TellSystemd)
        SystemdManager::Run({"stop", UnitName});
    Unit.Remove();
    if(TellSystemd)
        SystemdManager::Run({"daemon-reload"});
    ConsoleLine("Service %s removed: %s", UnitName.c_str(), Unit.GetPath().c_str());
}
} // namespace

bool ProcessServiceCommand(std::vector<std::string> const& Arguments, int& ExitCode, ServiceContextFactory const& Factory)
{
    for(std::size_t Index = 1; Index < Arguments.size(); ++Index)
    {
        std::string Name;
        std::string Value;
        if(!ParseOptionArgument(Arguments[Index], Name, Value) || !IsOptionName(Name, {"Service"}))
            continue;
        ExitCode = 0;
        if(EqualsIgnoreCase(Value, "Install"))
            Install(Arguments);
        else if(EqualsIgnoreCase(Value, "Delete"))
            Delete();
        else
            ExitCode = ServiceMain::Run(Arguments, Factory);
        return true;
    }
    return false;
}
} // namespace Application
