// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/ApplicationContext.h"

#include "app/server/Run.h"
#include "host/CommandLineOptions.h"

namespace Application
{
std::unique_ptr<ApplicationContext> ApplicationContext::Create(bool Service, std::vector<std::string> const& Arguments)
{
    std::unique_ptr<ApplicationContext> Context(new ApplicationContext);
    Context->m_Settings.IsService = Service;
    ParseCommandLineOptions(Context->m_Settings, Arguments);
    return Context;
}

void ApplicationContext::Run(ManualResetEvent& Termination, std::function<void()> const& Serving)
{
    Application::Run(m_Settings, Termination, Serving);
}
} // namespace Application
