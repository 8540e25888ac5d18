// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/ServiceStatusNotifier.h"

#include <cstdlib>

#include <systemd/sd-daemon.h>

#include "base/Check.h"
#include "base/StringFormat.h"

namespace Application
{
ServiceStatusNotifier::ServiceStatusNotifier()
{
    char const* Socket = std::getenv("NOTIFY_SOCKET");
    if(!Socket || !*Socket)
        throw HResultError(NotStartedByServiceManager, "The service process could not connect to the service controller: -Service:Main runs "
                                                       "under systemd only (NOTIFY_SOCKET is not set); start it with systemctl");
}

std::string ServiceStatusNotifier::MakeMessage(ServiceState State)
{
    switch(State)
    {
    case ServiceState::StartPending: return "STATUS=Start pending";
    case ServiceState::Running: return "READY=1\nSTATUS=Running";
    case ServiceState::StopPending: return "STOPPING=1\nSTATUS=Stop pending";
    case ServiceState::Stopped: return "STATUS=Stopped";
    }
    return {};
}

void ServiceStatusNotifier::Report(ServiceState State)
{
    std::lock_guard const Lock(m_Mutex);
    if(m_Reported && State <= m_State)
        return;
    m_Reported = true;
    m_State = State;
    int const Result = sd_notify(0, MakeMessage(State).c_str());
    // A manager that went away cannot be told; the server goes on.
    if(Result < 0)
        TRACE("sd_notify failed, %d\n", Result);
}
} // namespace Application
