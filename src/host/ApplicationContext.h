// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/server/ManualResetEvent.h"
#include "app/context/Settings.h"

namespace Application
{
// What the console server and the service run: the settings read from the
// command line and the server run with them.
class ApplicationContext
{
public:
    // In service mode the settings say so (no local address listing).
    // Raises what ParseCommandLineOptions raises.
    static std::unique_ptr<ApplicationContext> Create(bool Service, std::vector<std::string> const& Arguments);

    // Runs the server until Termination is set and it has shut down;
    // Serving, when given, is called once the server accepts requests.
    void Run(ManualResetEvent& Termination, std::function<void()> const& Serving = {});
    // A stop request of the service manager; the event it sets is what stops
    // the server, so nothing happens here.
    void Stop() {}


private:
    ApplicationContext() = default;

    Settings m_Settings;
};
} // namespace Application
