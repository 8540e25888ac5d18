// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/Delivery.h"

namespace HttpServer
{
void Delivery::OnClientGone(std::function<void()> Callback)
{
    {
        std::lock_guard Lock(m_Mutex);
        if(!m_ClientGone)
        {
            m_Callback = std::move(Callback);
            return;
        }
    }
    Callback();
}

void Delivery::MarkClientGone()
{
    std::function<void()> Callback;
    {
        std::lock_guard Lock(m_Mutex);
        if(m_ClientGone.exchange(true))
            return;
        Callback = std::move(m_Callback);
    }
    if(Callback)
        Callback();
}
} // namespace HttpServer
