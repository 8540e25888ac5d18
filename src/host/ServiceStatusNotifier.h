// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <mutex>
#include <string>

namespace Application
{
// The states a service goes through, in this order; a stop pending only
// on a stop request.
enum class ServiceState
{
    StartPending,
    Running,
    StopPending,
    Stopped,
};

// Tells systemd the service's state (sd_notify): "READY=1" when it serves,
// "STOPPING=1" when a stop begins, and a "STATUS=" text for each state.
class ServiceStatusNotifier
{
public:
    // ERROR_FAILED_SERVICE_CONTROLLER_CONNECT, as a status.
    static constexpr std::int32_t NotStartedByServiceManager = static_cast<std::int32_t>(0x80070427);

    // Raises NotStartedByServiceManager when the process was not started
    // by systemd as a notify service (NOTIFY_SOCKET is not set).
    ServiceStatusNotifier();

    // Reports a state later than the last one; an earlier one (running
    // after a stop began) is not reported.
    void Report(ServiceState State);

    static std::string MakeMessage(ServiceState State);

private:
    std::mutex m_Mutex;
    bool m_Reported = false;
    ServiceState m_State = ServiceState::StartPending;
};
} // namespace Application
