// SPDX-License-Identifier: GPL-2.0-or-later
#include "crash/CrashReport.h"

#include <cstring>

#include "base/StringFormat.h"
#include "crash/SignalText.h"

namespace Application
{
std::filesystem::path MakeDumpPath(std::filesystem::path const& Directory, std::string const& ModuleFileName, pid_t Process, unsigned Counter,
                                   std::string const& CodeText)
{
    return Directory / StringFormat("%s-%d-DebugException-%u-%s.dmp", ModuleFileName.c_str(), static_cast<int>(Process), Counter, CodeText.c_str());
}

std::string CrashReport::Format() const
{
    std::string Text = StringFormat("Crash report: %s, process %d died of signal %s (%s), %s\n", Build.FileName.c_str(), static_cast<int>(Process),
                                    SignalName(Signal.si_signo).c_str(), strsignal(Signal.si_signo), DescribeSignalOrigin(Signal, Process).c_str());
    Text += StringFormat("Thread: %d (%s)\n", static_cast<int>(Thread), ThreadName.c_str());
    if(DumpFailure.empty())
        Text += StringFormat("Dump: %s (minidump type 0x%X, %llu bytes of memory)\n", DumpPath.c_str(), MinidumpType,
                             static_cast<unsigned long long>(DumpBytes));
    else
        Text += StringFormat("Dump: not written, %s\n", DumpFailure.c_str());
    Text += StringFormat("Build: %s %s (%s)\n", Build.FileName.c_str(), Build.GitDescribe.c_str(), Build.Configuration.c_str());
    if(!Build.GitLog.empty())
        Text += Build.GitLog + "\n";
    Text += "Stack of the thread:\n";
    for(std::size_t Index = 0; Index < Stack.size(); ++Index)
        Text += "  " + Stack[Index].Format(Index) + "\n";
    if(!StackFailure.empty())
        Text += "  (" + StackFailure + ")\n";
    return Text;
}
} // namespace Application
