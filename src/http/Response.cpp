// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/Response.h"

#include <ctime>

#include <boost/asio/post.hpp>

#include "base/Check.h"
#include "base/StringFormat.h"
#include "http/Connection.h"
#include "http/WriteBatch.h"

namespace HttpServer
{
namespace
{
bool IsFieldText(std::string_view Text)
{
    return Text.find_first_of("\r\n") == std::string_view::npos && Text.find('\0') == std::string_view::npos;
}

// "Date: Sat, 06 Dec 2025 09:00:00 GMT\r\n", formatted once a second per thread.
std::string const& DateHeader()
{
    thread_local std::time_t CachedTime = 0;
    thread_local std::string CachedText;
    std::time_t const Now = std::time(nullptr);
    if(Now != CachedTime)
    {
        std::tm Time{};
        gmtime_r(&Now, &Time);
        char Text[64];
        std::strftime(Text, sizeof Text, "Date: %a, %d %b %Y %H:%M:%S GMT\r\n", &Time);
        CachedText = Text;
        CachedTime = Now;
    }
    return CachedText;
}

constexpr char const* LastTransferChunk = "0\r\n\r\n";
} // namespace

Response::Response(std::shared_ptr<Connection> Owner, std::shared_ptr<Delivery> Shared, bool KeepAlive, bool HeadRequest) :
    m_Connection(std::move(Owner)), m_Delivery(std::move(Shared)), m_WorkGuard(std::in_place, m_Connection->GetExecutor()), m_KeepAlive(KeepAlive),
    m_HeadRequest(HeadRequest)
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
    CHECK_ARGUMENT(StatusCode >= 100 && StatusCode <= 999 && IsFieldText(Reason));
    m_StatusCode = StatusCode;
    m_Reason = std::move(Reason);
    m_KnownHeaders = {};
    m_UnknownHeaders.clear();
    m_Pieces.clear();
}

void Response::SetKnownHeader(KnownHeader Header, std::string Value)
{
    auto const Index = static_cast<unsigned>(Header);
    CHECK_ARGUMENT(Index < KnownHeaderCount && IsFieldText(Value));
    m_KnownHeaders[Index] = std::move(Value);
}

void Response::AddUnknownHeader(std::string Name, std::string Value)
{
    CHECK_ARGUMENT(!Name.empty() && IsFieldText(Name) && Name.find(':') == std::string::npos && IsFieldText(Value));
    m_UnknownHeaders.emplace_back(std::move(Name), std::move(Value));
}

void Response::AddEntityChunk(void const* Data, std::size_t Size)
{
    m_Pieces.push_back({nullptr, Data, Size});
}

void Response::AddEntityChunk(std::string Text)
{
    auto Owned = std::make_shared<std::string const>(std::move(Text));
    m_Pieces.push_back({Owned, Owned->data(), Owned->size()});
}

void Response::AddEntityChunk(std::vector<std::uint8_t> Data)
{
    auto Owned = std::make_shared<std::vector<std::uint8_t> const>(std::move(Data));
    m_Pieces.push_back({Owned, Owned->data(), Owned->size()});
}

void Response::AddEntityChunk(SharedBytes Data)
{
    m_Pieces.push_back({Data, Data->data(), Data->size()});
}

void Response::AddEntityChunk(SharedBytes Data, std::size_t Offset, std::size_t Size)
{
    ASSERT(Offset <= Data->size() && Size <= Data->size() - Offset);
    void const* const Start = Data->data() + Offset;
    m_Pieces.push_back({std::move(Data), Start, Size});
}

boost::asio::io_context::executor_type Response::GetExecutor() const noexcept
{
    return m_Connection->GetExecutor();
}

void Response::AddTransferChunk(void const* Data, std::size_t Size)
{
    if(Size == 0)
        return; // a zero-size chunk would end the body
    AddEntityChunk(StringFormat("%zX\r\n", Size));
    AddEntityChunk(Data, Size);
    AddEntityChunk(LastTransferChunk + 3, 2);
}

void Response::AddTransferChunk(SharedBytes Data)
{
    if(Data->empty())
        return;
    AddEntityChunk(StringFormat("%zX\r\n", Data->size()));
    AddEntityChunk(std::move(Data));
    AddEntityChunk(LastTransferChunk + 3, 2);
}

void Response::AddLastTransferChunk()
{
    AddEntityChunk(LastTransferChunk, 5);
}

std::string Response::BuildHead(bool Final)
{
    std::string Head = StringFormat("HTTP/1.1 %u %s\r\n", m_StatusCode, m_Reason.c_str());
    for(unsigned Index = 0; Index < KnownHeaderCount; ++Index)
        if(m_KnownHeaders[Index])
            ((Head += KnownHeaderName(static_cast<KnownHeader>(Index))) += ": ") += *m_KnownHeaders[Index] + "\r\n";
    for(auto const& [Name, Value] : m_UnknownHeaders)
        (((Head += Name) += ": ") += Value) += "\r\n";
    bool const BodyAllowed = m_StatusCode >= 200 && m_StatusCode != 204 && m_StatusCode != 304;
    bool const Delimited = m_KnownHeaders[static_cast<unsigned>(KnownHeader::ContentLength)] || m_KnownHeaders[static_cast<unsigned>(KnownHeader::TransferEncoding)];
    if(BodyAllowed && !Delimited)
    {
        if(Final)
        {
            std::size_t Length = 0;
            for(auto const& Item : m_Pieces)
                Length += Item.Size;
            Head += StringFormat("Content-Length: %zu\r\n", Length);
        }
        else
            m_CloseDelimited = true;
    }
    if(!m_KnownHeaders[static_cast<unsigned>(KnownHeader::Date)])
        Head += DateHeader();
    if(m_Connection->IsStopping())
        m_KeepAlive = false;
    if((!m_KeepAlive || m_CloseDelimited) && !m_KnownHeaders[static_cast<unsigned>(KnownHeader::Connection)])
        Head += "Connection: close\r\n";
    Head += "\r\n";
    return Head;
}

bool Response::Send(unsigned Flags)
{
    ASSERT(!m_HeadSent && !m_Complete);
    bool const Final = (Flags & SendFlagMoreData) == 0;
    auto Batch = std::make_shared<WriteBatch>();
    Batch->Head = BuildHead(Final);
    m_HeadSent = true;
    if(m_HeadObserver)
        m_HeadObserver(m_StatusCode);
    Batch->Final = Final;
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
    Batch->Size = Batch->Head.size();
    if(!m_HeadRequest && m_StatusCode != 204 && m_StatusCode != 304)
    {
        for(auto& Item : m_Pieces)
        {
            // Only the two line-end constants stay borrowed: the caller may
            // release borrowed memory as soon as we return.
            if(!Item.Owner && Item.Data != LastTransferChunk && Item.Data != LastTransferChunk + 3)
            {
                auto Copy = std::make_shared<std::string const>(static_cast<char const*>(Item.Data), Item.Size);
                Item = {Copy, Copy->data(), Copy->size()};
            }
            if(Item.Owner)
                Batch->Owners.push_back(std::move(Item.Owner));
            Batch->Pieces.emplace_back(Item.Data, Item.Size);
            Batch->Size += Item.Size;
        }
    }
    m_Pieces.clear();
    Batch->CloseAfter = !m_KeepAlive || m_CloseDelimited;
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
