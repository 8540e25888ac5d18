// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/production/SegmentProduction.h"

#include <algorithm>
#include <chrono>

#include <boost/asio/post.hpp>

#include "app/answers/ErrorAnswer.h"
#include "base/Check.h"
#include "base/Trace.h"
#include "media/SegmentSession.h"

namespace Application
{
namespace
{
std::exception_ptr AbortFailure()
{
    return std::make_exception_ptr(HResultError(E_ABORT, "No client is left for the media"));
}
} // namespace

SegmentProduction::SegmentProduction(ServerContext& Server, Executor IoExecutor, std::string Key, bool Streams, Ended OnEnded) :
    m_Server(Server), m_Key(std::move(Key)), m_Streams(Streams), m_OnEnded(std::move(OnEnded)), m_Executor(std::move(IoExecutor))
{
}

void SegmentProduction::Post(std::function<void()> Action)
{
    boost::asio::post(m_Executor, [Self = shared_from_this(), Action = std::move(Action)] { Action(); });
}

void SegmentProduction::Join(std::shared_ptr<HttpServer::Response> Response, MediaBodyAnswer Answer)
{
    ASSERT(!m_Ended);
    auto& Client = *m_Subscribers.emplace_back(std::make_unique<Subscriber>());
    Client.Response = std::move(Response);
    // A range or a file needs the whole body; a joiner without either gets
    // what was made so far at once.
    Client.Whole = !m_Streams || Answer.WantsRange() || m_Server.PayloadWriter;
    Client.Answer = std::move(Answer);
    ++m_LiveCount;
    if(!Client.Whole && !m_Fragments.empty())
        Stream(Client, m_Fragments);
    // Set last: a client already gone calls back at once.
    Client.Response->OnClientGone([Weak = weak_from_this(), Pointer = &Client] {
        if(auto const Self = Weak.lock())
            Self->Leave(Pointer);
    });
}

void SegmentProduction::Observe(Observer Watch)
{
    ASSERT(!m_Ended);
    m_Observed = true;
    if(!m_Fragments.empty())
        Watch.OnFragments(m_Fragments);
    m_Observers.push_back(std::move(Watch));
}

void SegmentProduction::Leave(Subscriber* Client)
{
    // On the I/O thread, possibly from within a send through this very
    // response: it is only marked here and dropped after.
    if(m_Ended || Client->Gone)
        return;
    Client->Gone = true;
    Post([this] { Compact(); });
    if(--m_LiveCount == 0 && !m_Observed)
        Cancel();
}

void SegmentProduction::Cancel()
{
    TRACE("Every client left: the media is no longer made\n");
    m_Cancellation.Cancel();
    // A later request starts afresh rather than join what is stopping.
    if(auto const OnEnded = std::exchange(m_OnEnded, nullptr))
        OnEnded(*this, nullptr);
}

void SegmentProduction::Compact()
{
    std::erase_if(m_Subscribers, [](auto const& Client) {
        if(!Client->Gone)
            return false;
        Client->Response->Abort();
        return true;
    });
}

void SegmentProduction::Stream(Subscriber& Client, std::vector<SharedBytes> const& Fragments)
{
    auto& Response = *Client.Response;
    bool const First = !Response.IsHeadSent();
    // The head goes out with the first fragments.
    if(First)
        Client.Answer.StartStream(Response);
    for(auto const& Fragment : Fragments)
        Response.AddEntityChunk(Fragment);
    unsigned const Flags = HttpServer::Response::SendFlagMoreData;
    if(First)
        Response.Send(Flags);
    else
        Response.SendEntityBody(Flags);
}

void SegmentProduction::OnFragments(std::vector<SharedBytes> const& Fragments)
{
    if(m_Ended)
        return;
    m_Fragments.insert(m_Fragments.end(), Fragments.begin(), Fragments.end());
    // By index: a send may drop a client, which only marks it.
    for(std::size_t Index = 0; Index < m_Subscribers.size(); ++Index)
        if(auto& Client = *m_Subscribers[Index]; !Client.Gone && !Client.Whole)
            Stream(Client, Fragments);
    for(auto const& Watch : m_Observers)
        Watch.OnFragments(Fragments);
}

void SegmentProduction::Run(Producer const& Make) noexcept
{
    m_Ran = true;
    std::exception_ptr Failure;
    if(m_Cancellation.IsCancelled())
    {
        TRACE("The client left while its request waited\n");
        Failure = AbortFailure();
    }
    auto const Start = std::chrono::steady_clock::now();
    if(!Failure)
    {
        try
        {
            Make(*this);
        }
        catch(std::exception const& Exception)
        {
            TRACE("Exception %s\n", Exception.what());
            Failure = std::current_exception();
        }
    }
    SharedMediaBody Body;
    if(!Failure)
        Body = std::make_shared<MediaBody const>(std::move(m_Made));
    double const Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    Post([this, Failure, Body = std::move(Body), Seconds] {
        m_Seconds = Seconds;
        OnEnd(Failure, false, Body);
    });
}

void SegmentProduction::Abandon() noexcept
{
    if(m_Ran)
        return;
    Post([this] { OnEnd(AbortFailure(), true, nullptr); });
}

void SegmentProduction::RunSession(SegmentSession& Session)
{
    m_Cancellation.Run(Session);
}

bool SegmentProduction::Deliver(std::vector<SharedBytes> Fragments)
{
    m_Made.insert(m_Made.end(), Fragments.begin(), Fragments.end());
    Post([this, Fragments = std::move(Fragments)] { OnFragments(Fragments); });
    return m_LiveCount > 0 || m_Observed;
}

void SegmentProduction::Append(std::vector<SharedBytes> const& Pieces)
{
    m_Made.insert(m_Made.end(), Pieces.begin(), Pieces.end());
}

void SegmentProduction::OnEnd(std::exception_ptr Failure, bool Abandoned, SharedMediaBody const& Body)
{
    if(m_Ended)
        return;
    m_Ended = true;
    m_Fragments.clear();
    if(auto const OnEnded = std::exchange(m_OnEnded, nullptr))
        OnEnded(*this, Body);
    auto Clients = std::move(m_Subscribers);
    for(auto& Client : Clients)
        if(!Client->Gone)
            Finish(*Client, Failure, Abandoned, Body);
    for(auto& Client : Clients)
        Client->Response->Abort(); // nothing for a completed response
    for(auto const& Watch : std::exchange(m_Observers, {}))
        Watch.OnEnd(Failure, Body);
}

void SegmentProduction::Finish(Subscriber& Client, std::exception_ptr const& Failure, bool Abandoned, SharedMediaBody const& Body)
{
    auto& Response = *Client.Response;
    try
    {
        if(Failure)
            std::rethrow_exception(Failure);
        if(Client.Whole)
            Client.Answer.SendBody(m_Server, Response, Body);
        else
        {
            // Nothing was made to stream: the head comes before the end.
            if(!Response.IsHeadSent())
                Stream(Client, {});
            Response.SendEntityBody();
        }
    }
    catch(std::exception const& Exception)
    {
        if(Abandoned || Response.IsClientGone())
            Response.Abort();
        else
            AnswerFailure(Response, Exception);
    }
}
} // namespace Application
