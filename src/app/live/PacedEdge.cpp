// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/live/PacedEdge.h"

#include <chrono>

#include "http/WriteBatch.h"

namespace Application
{
PacedEdge::PacedEdge(FragmentSchedule Schedule, Clock Now, std::shared_ptr<HttpServer::SendEdge> Next) :
    m_Schedule(Schedule), m_Clock(std::move(Now)), m_Next(std::move(Next))
{
}

void PacedEdge::Write(std::shared_ptr<HttpServer::WriteBatch> Batch, HttpServer::Connection& Target)
{
    if(m_Closed)
        return;
    if(!m_HeadSeen && Batch->Head)
    {
        m_HeadSeen = true;
        m_Pacing = Batch->Head->Status == 200;
        if(m_Pacing)
        {
            // The head goes at once: the player sees its answer begin while
            // the pictures are still to come, the body following it.
            auto Head = std::make_shared<HttpServer::WriteBatch>();
            Head->Head = std::exchange(Batch->Head, std::nullopt);
            Head->Head->DeclaredLength.reset();
            Pass(std::move(Head), Target);
        }
    }
    if(!m_Pacing)
    {
        Pass(std::move(Batch), Target);
        return;
    }
    m_Held.insert(m_Held.end(), Batch->Pieces.begin(), Batch->Pieces.end());
    m_Final = m_Final || Batch->Final;
    Release(Target);
}

void PacedEdge::Release(HttpServer::Connection& Target)
{
    if(m_Closed || m_Ended || m_TimerArmed)
        return;
    std::int64_t const Now = m_Clock();
    auto Due = std::make_shared<HttpServer::WriteBatch>();
    while(!m_Held.empty() && (m_Stopping || m_Schedule.DueTime(m_Released) <= Now))
    {
        Due->Pieces.push_back(std::move(m_Held.front()));
        m_Held.pop_front();
        ++m_Released;
    }
    if(m_Held.empty() && m_Final)
    {
        m_Ended = true;
        Due->Final = true;
        Pass(std::move(Due), Target);
        return;
    }
    if(!Due->Pieces.empty())
        Pass(std::move(Due), Target);
    if(!m_Held.empty())
        Arm(m_Schedule.DueTime(m_Released) - Now, Target);
}

void PacedEdge::Arm(std::int64_t Wait, HttpServer::Connection& Target)
{
    if(!m_Timer)
        m_Timer.emplace(Target.GetExecutor());
    m_TimerArmed = true;
    m_Timer->expires_after(std::chrono::microseconds(Wait / 10 + 1));
    m_Timer->async_wait([Self = shared_from_this(), Weak = Target.weak_from_this()](boost::system::error_code Error) {
        Self->m_TimerArmed = false;
        auto const Owner = Weak.lock();
        if(!Error && Owner && Owner->IsOpen())
            Self->Release(*Owner);
    });
}

void PacedEdge::Pass(std::shared_ptr<HttpServer::WriteBatch> Batch, HttpServer::Connection& Target)
{
    if(m_Next)
        m_Next->Write(std::move(Batch), Target);
    else
        Target.Forward(std::move(Batch));
}

void PacedEdge::Stop(HttpServer::Connection& Target)
{
    // The server does not wait for the live timeline: what was made goes now.
    m_Stopping = true;
    if(m_Timer)
        m_Timer->cancel();
    m_TimerArmed = false;
    Release(Target);
    if(m_Next)
        m_Next->Stop(Target);
}

void PacedEdge::Close() noexcept
{
    m_Closed = true;
    m_Held.clear();
    if(m_Timer)
        m_Timer->cancel();
    if(m_Next)
        m_Next->Close();
}
} // namespace Application
