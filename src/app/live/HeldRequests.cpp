// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/live/HeldRequests.h"

#include <chrono>

#include <boost/asio/steady_timer.hpp>

namespace Application
{
struct HeldRequests::Held
{
    Held(std::shared_ptr<HttpServer::Response> HeldResponse, std::int64_t HeldDue, std::function<void()> HeldAnswer) :
        Response(std::move(HeldResponse)), Timer(Response->GetExecutor()), Due(HeldDue), Answer(std::move(HeldAnswer))
    {
    }

    std::shared_ptr<HttpServer::Response> Response;
    boost::asio::steady_timer Timer;
    std::int64_t Due;
    std::function<void()> Answer;
    std::list<std::shared_ptr<Held>>::iterator Position;
    bool Released = false;
};

HeldRequests::HeldRequests(Clock Now, std::shared_ptr<ServerMetrics> Metrics, ServerMetrics::Gauge Counted, std::size_t Limit) :
    m_Clock(std::move(Now)), m_Metrics(std::move(Metrics)), m_Counted(Counted), m_Limit(Limit)
{
}

HeldRequests::~HeldRequests()
{
    *m_Alive = false;
    Stop();
}

bool HeldRequests::Hold(std::shared_ptr<HttpServer::Response> Response, std::int64_t Due, std::function<void()> Answer)
{
    if(m_Held.size() >= m_Limit || !Response->Hold(false))
        return false;
    auto const Entry = std::make_shared<Held>(std::move(Response), Due, std::move(Answer));
    Entry->Position = m_Held.insert(m_Held.end(), Entry);
    m_Metrics->Add(m_Counted, 1);
    Arm(Entry);
    // Last: a client gone already calls back at once.
    Entry->Response->OnClientGone([this, Alive = m_Alive, Weak = std::weak_ptr<Held>(Entry)] {
        auto const Gone = Weak.lock();
        if(!*Alive || !Gone || Gone->Released)
            return;
        Release(*Gone);
        Gone->Response->Abort();
    });
    return true;
}

void HeldRequests::Arm(std::shared_ptr<Held> const& Entry)
{
    // The clock is the wall clock (what "due" means to a player), the timer
    // a steady one: the wait is taken again from the clock when it ends, so
    // a clock that was set meanwhile only moves the answer, never skips it.
    std::int64_t const Wait = std::max<std::int64_t>(Entry->Due - m_Clock(), 0);
    Entry->Timer.expires_after(std::chrono::microseconds((Wait + 9) / 10));
    Entry->Timer.async_wait([this, Alive = m_Alive, Entry](boost::system::error_code const& Error) {
        if(Error || !*Alive || Entry->Released)
            return;
        if(m_Clock() < Entry->Due)
        {
            Arm(Entry);
            return;
        }
        Release(*Entry);
        Entry->Answer();
    });
}

void HeldRequests::Release(Held& Entry)
{
    Entry.Released = true;
    Entry.Timer.cancel();
    m_Held.erase(Entry.Position);
    m_Metrics->Add(m_Counted, -1);
}

void HeldRequests::Stop()
{
    while(!m_Held.empty())
    {
        auto const Entry = m_Held.front();
        Release(*Entry);
        Entry->Response->Abort();
    }
}
} // namespace Application
