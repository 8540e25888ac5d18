// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/live/PacedEdge.h"

#include <chrono>

#include "app/answers/AnswerHead.h"
#include "base/StringFormat.h"
#include "http/WriteBatch.h"

namespace Application
{
namespace
{
using HttpServer::WriteBatch;

std::shared_ptr<WriteBatch> BatchOf(std::string Bytes, bool Final = false)
{
    auto Text = std::make_shared<std::string>(std::move(Bytes));
    auto Batch = std::make_shared<WriteBatch>();
    Batch->Pieces.emplace_back(Text->data(), Text->size());
    Batch->Owners.push_back(Text);
    Batch->Size = Text->size();
    Batch->Final = Final;
    return Batch;
}
} // namespace

PacedEdge::PacedEdge(FragmentSchedule Schedule, Clock Now, std::shared_ptr<HttpServer::SendEdge> Next) :
    m_Schedule(Schedule), m_Clock(std::move(Now)), m_Next(std::move(Next))
{
}

void PacedEdge::Write(std::shared_ptr<WriteBatch> Batch, HttpServer::Connection& Target)
{
    if(m_Closed)
        return;
    if(!m_HeadSeen && !Batch->Head.empty())
    {
        m_HeadSeen = true;
        ReadHead(Batch, Target);
    }
    if(!m_Pacing)
    {
        Pass(std::move(Batch), Target);
        return;
    }
    Take(*Batch);
    if(Batch->Final)
    {
        m_Final = true;
        m_CloseAfter = Batch->CloseAfter;
        for(auto& Fragment : m_Splitter.Finish())
            m_Held.push_back(std::move(Fragment));
    }
    Release(Target);
}

void PacedEdge::ReadHead(std::shared_ptr<WriteBatch> const& Batch, HttpServer::Connection& Target)
{
    m_Pacing = AnswerHead::Status(Batch->Head) == 200;
    if(!m_Pacing)
        return;
    m_Chunked = AnswerHead::IsChunked(Batch->Head);
    // The head goes at once: the player sees its answer begin while the
    // pictures are still to come.
    auto Head = std::make_shared<WriteBatch>();
    Head->Head = m_Chunked ? std::move(Batch->Head) : AnswerHead::MadeChunked(Batch->Head);
    Head->Size = Head->Head.size();
    Batch->Head.clear();
    Pass(std::move(Head), Target);
}

void PacedEdge::Take(WriteBatch const& Batch)
{
    for(auto const& Piece : Batch.Pieces)
    {
        std::string_view Bytes(static_cast<char const*>(Piece.data()), Piece.size());
        std::string Payload;
        if(m_Chunked)
            Payload = m_Chunks.Read(Bytes);
        for(auto& Fragment : m_Splitter.Append(m_Chunked ? std::string_view(Payload) : Bytes))
            m_Held.push_back(std::move(Fragment));
    }
}

void PacedEdge::Release(HttpServer::Connection& Target)
{
    if(m_Closed || m_Ended || m_TimerArmed)
        return;
    std::int64_t const Now = m_Clock();
    std::string Due;
    while(!m_Held.empty() && (m_Stopping || m_Schedule.DueTime(m_Released) <= Now))
    {
        Due += m_Held.front();
        m_Held.pop_front();
        ++m_Released;
    }
    std::string Chunk = Due.empty() ? std::string() : StringFormat("%zX\r\n", Due.size()) + Due + "\r\n";
    if(m_Held.empty() && m_Final)
    {
        m_Ended = true;
        auto Last = BatchOf(Chunk + "0\r\n\r\n", true);
        Last->CloseAfter = m_CloseAfter;
        Pass(std::move(Last), Target);
        return;
    }
    if(!Chunk.empty())
        Pass(BatchOf(std::move(Chunk)), Target);
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

void PacedEdge::Pass(std::shared_ptr<WriteBatch> Batch, HttpServer::Connection& Target)
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
