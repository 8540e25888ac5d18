// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/production/SessionCancellation.h"

#include "media/SegmentSession.h"

namespace Application
{
void SessionCancellation::Run(SegmentSession& Session)
{
    {
        // Either the cancellation is seen here, or Cancel sees the session.
        std::lock_guard Lock(m_Mutex);
        m_Running = &Session;
        if(m_Cancelled)
            Session.Cancel();
    }
    struct Finished
    {
        SessionCancellation& Owner;
        ~Finished()
        {
            std::lock_guard Lock(Owner.m_Mutex);
            Owner.m_Running = nullptr;
        }
    } const Scope{*this};
    Session.Run();
}

void SessionCancellation::Cancel()
{
    std::lock_guard Lock(m_Mutex);
    m_Cancelled = true;
    if(m_Running)
        m_Running->Cancel();
}

bool SessionCancellation::IsCancelled()
{
    std::lock_guard Lock(m_Mutex);
    return m_Cancelled;
}
} // namespace Application
