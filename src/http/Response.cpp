// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/Response.h"

#include <boost/asio/post.hpp>

#include "base/Check.h"
#include "http/Connection.h"
#include "http/WriteBatch.h"

namespace HttpServer
{
Response::Response(std::shared_ptr<Connection> Owner, std::shared_ptr<Delivery> Shared) :
    m_Connection(std::move(Owner)), m_Delivery(std::move(Shared)), m_WorkGuard(std::in_place, m_Connection->GetExecutor())
{
}

Response::~Response()
{
    Abort();
    // A connection belongs to the I/O thread: when a task drops the last
    // reference, the connection ends there, not on the task's thread.
    auto const Executor = m_Connection->GetExecutor();
    if(!Executor.running_in_this_thread())
        boost::asio::post(Executor, [Last = std::move(m_Connection)] {});
}

void Response::SetStatus(unsigned StatusCode, std::string Reason)
{
    m_Head = ResponseHead(StatusCode, std::move(Reason));
    m_Pieces.clear();
}

void Response::AddEntityChunk(void const* Data, std::size_t Size)
{
    m_Pieces.push_back({nullptr, static_cast<std::uint8_t const*>(Data), Size});
}

void Response::AddEntityChunk(std::string Text)
{
    auto Owned = std::make_shared<std::string const>(std::move(Text));
    m_Pieces.push_back({Owned, reinterpret_cast<std::uint8_t const*>(Owned->data()), Owned->size()});
}

void Response::AddEntityChunk(std::vector<std::uint8_t> Data)
{
    m_Pieces.push_back(BodyPiece::Of(std::make_shared<std::vector<std::uint8_t> const>(std::move(Data))));
}

void Response::AddEntityChunk(SharedBytes Data)
{
    m_Pieces.push_back(BodyPiece::Of(std::move(Data)));
}

void Response::AddEntityChunk(BodyPiece Piece)
{
    m_Pieces.push_back(std::move(Piece));
}

boost::asio::io_context::executor_type Response::GetExecutor() const noexcept
{
    return m_Connection->GetExecutor();
}

bool Response::Send(unsigned Flags)
{
    ASSERT(!m_HeadSent && !m_Complete);
    auto Batch = std::make_shared<WriteBatch>();
    Batch->Head = m_Head;
    Batch->Final = (Flags & SendFlagMoreData) == 0;
    m_HeadSent = true;
    if(m_HeadObserver)
        m_HeadObserver(m_Head.Status);
    return Submit(std::move(Batch));
}

bool Response::SendEntityBody(unsigned Flags)
{
    ASSERT(m_HeadSent && !m_Complete);
    auto Batch = std::make_shared<WriteBatch>();
    Batch->Final = (Flags & SendFlagMoreData) == 0;
    return Submit(std::move(Batch));
}

template <typename ActionT>
void Response::OnConnection(ActionT&& Action)
{
    // Once anything went by post, everything after must too, or it would
    // overtake what is still on its way.
    if(!m_Posted && m_Connection->GetExecutor().running_in_this_thread())
    {
        Action(*m_Connection);
        return;
    }
    m_Posted = true;
    boost::asio::post(m_Connection->GetExecutor(), [Target = m_Connection, Action = std::forward<ActionT>(Action)]() mutable { Action(*Target); });
}

bool Response::Submit(std::shared_ptr<WriteBatch> Batch)
{
    for(auto& Piece : m_Pieces)
    {
        // The caller may release borrowed memory as soon as we return.
        if(!Piece.Owner)
        {
            auto Copy = std::make_shared<std::vector<std::uint8_t> const>(Piece.Data, Piece.Data + Piece.Size);
            Piece = BodyPiece::Of(std::move(Copy));
        }
        Batch->Size += Piece.Size;
    }
    Batch->Pieces = std::move(m_Pieces);
    m_Pieces.clear();
    Batch->Account = m_Delivery;
    if(Batch->Final)
        m_Complete = true;
    std::size_t const Queued = m_Delivery->AddQueued(Batch->Size);
    if(Queued > m_Connection->GetBounds().MaximalQueuedBytes)
    {
        TRACE("The client is %zu bytes behind: the connection is closed\n", Queued);
        m_Complete = true;
        Release();
        OnConnection([](Connection& Target) { Target.Drop(); });
        return false;
    }
    OnConnection([Batch = std::move(Batch)](Connection& Target) mutable { Target.Write(std::move(Batch)); });
    if(m_Complete)
        Release();
    return !m_Delivery->IsClientGone();
}

void Response::SetEdge(std::shared_ptr<SendEdge> Edge)
{
    ASSERT(!m_HeadSent);
    m_Edge = Edge;
    OnConnection([Edge = std::move(Edge)](Connection& Target) mutable { Target.SetEdge(std::move(Edge)); });
}

void Response::OnFinished(std::function<void(AnswerOutcome const&)> Observer)
{
    ASSERT(!m_HeadSent);
    OnConnection([Observer = std::move(Observer)](Connection& Target) mutable { Target.OnFinished(std::move(Observer)); });
}

bool Response::Hold(bool Timed)
{
    ASSERT(!m_HeadSent && m_Connection->GetExecutor().running_in_this_thread());
    return m_Connection->Hold(Timed);
}

void Response::Abort()
{
    if(m_Complete)
        return;
    m_Complete = true;
    OnConnection([](Connection& Target) { Target.Abort(); });
    Release();
}

void Response::Release()
{
    m_WorkGuard.reset();
}
} // namespace HttpServer
