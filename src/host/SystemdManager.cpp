// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/SystemdManager.h"

#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-daemon.h>

#include "base/Check.h"
#include "base/StringFormat.h"

extern char** environ;

namespace Application
{
bool SystemdManager::IsRunning()
{
    return sd_booted() > 0;
}

void SystemdManager::Run(std::vector<std::string> const& Arguments)
{
    std::vector<std::string> Command{"systemctl"};
    Command.insert(Command.end(), Arguments.begin(), Arguments.end());
    std::vector<char*> Pointers;
    for(auto const& Argument : Command)
        Pointers.push_back(const_cast<char*>(Argument.c_str()));
    Pointers.push_back(nullptr);
    pid_t Child = 0;
    int const Result = posix_spawnp(&Child, Pointers[0], nullptr, nullptr, Pointers.data(), environ);
    CHECK_CONDITION(Result == 0, HResultFromErrno(Result));
    int Status = 0;
    while(waitpid(Child, &Status, 0) < 0)
        CHECK_CONDITION(errno == EINTR, HResultFromErrno(errno));
    if(!WIFEXITED(Status) || WEXITSTATUS(Status) != 0)
        throw HResultError(E_FAIL, StringFormat("%s failed with status %d", Join(Command, " ").c_str(), WIFEXITED(Status) ? WEXITSTATUS(Status) : -1));
}
} // namespace Application
