// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/ApplicationContext.h"

namespace Application
{
// Makes the server of the service from the saved arguments.
using ServiceContextFactory = std::function<std::unique_ptr<ApplicationContext>(std::vector<std::string> const& Arguments)>;

// The first "-Service" option decides: "Install" writes and enables the
// systemd unit (and starts it where systemd runs), "Delete" stops, disables
// and removes it, any other value ("Main", as the unit runs it) runs the
// server as the service. Returns false without a "-Service" option;
// otherwise true with the process's exit code. Failures are raised.
bool ProcessServiceCommand(std::vector<std::string> const& Arguments, int& ExitCode, ServiceContextFactory const& Factory);
} // namespace Application
