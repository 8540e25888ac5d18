// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <vector>

#include "host/ServiceCommand.h"

namespace Application
{
// "-Service:Main": the server as systemd runs it. The same server as in
// the console, without the address listing; readiness and stopping are
// reported to systemd, and SIGTERM (systemctl stop) is the stop request.
class ServiceMain
{
public:
    // Runs the service until it has stopped and returns the exit code: 0,
    // or 1 when the server failed (logged), so that systemd sees the
    // failure and restarts the service. Raises when the process was not
    // started by systemd.
    static int Run(std::vector<std::string> const& Arguments, ServiceContextFactory const& Factory);
};
} // namespace Application
