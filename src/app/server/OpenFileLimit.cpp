// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/server/OpenFileLimit.h"

#include <sys/resource.h>

#include <algorithm>

#include "app/context/Console.h"
#include "base/Check.h"

namespace Application
{
std::size_t OpenFileLimit::Fit(std::size_t Connections, std::size_t LingeringSockets)
{
    rlimit Limit{};
    CHECK_ERRNO(getrlimit(RLIMIT_NOFILE, &Limit));
    std::size_t const Others = LingeringSockets + OwnFiles;
    rlim_t const Needed = static_cast<rlim_t>(Connections + Others);
    if(Limit.rlim_cur != RLIM_INFINITY && Limit.rlim_cur < Needed)
    {
        rlimit Raised = Limit;
        Raised.rlim_cur = Limit.rlim_max == RLIM_INFINITY ? Needed : std::min(Needed, Limit.rlim_max);
        CHECK_ERRNO(setrlimit(RLIMIT_NOFILE, &Raised));
        Limit = Raised;
    }
    if(Limit.rlim_cur == RLIM_INFINITY || Limit.rlim_cur >= Needed)
        return Connections;
    // The hard limit is too low: serve what fits rather than fail accepting.
    std::size_t const Available = static_cast<std::size_t>(Limit.rlim_cur);
    std::size_t const Fitting = Available > Others ? Available - Others : 1;
    ConsoleErrorLine("Warning, open files are limited to %zu (the hard limit of RLIMIT_NOFILE), %zu are needed for %zu connections: serving at most %zu "
                     "connections. Raise the hard limit (ulimit -Hn as root, LimitNOFILE= for a systemd service, nofile in /etc/security/limits.conf) "
                     "or lower -MaxConnections",
                     Available, static_cast<std::size_t>(Needed), Connections, Fitting);
    return Fitting;
}
} // namespace Application
