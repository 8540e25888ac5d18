// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/production/MediaProductions.h"

namespace Application
{
namespace
{
// Holds a production for its task: a task dropped before it ran (at
// shutdown) closes the connections of its clients.
struct ProductionTask
{
    ProductionTask(std::shared_ptr<SegmentProduction> Made, SegmentProduction::Producer Maker) : Production(std::move(Made)), Make(std::move(Maker)) {}
    ~ProductionTask() { Production->Abandon(); }

    std::shared_ptr<SegmentProduction> Production;
    SegmentProduction::Producer Make;
};
} // namespace

using Counter = ServerMetrics::Counter;
using Gauge = ServerMetrics::Gauge;

MediaProductions::MediaProductions(ServerContext& Server, std::uint64_t CacheBytes) :
    m_Server(Server), m_Metrics(*Server.Metrics), m_Cache(CacheBytes, Server.Metrics)
{
}

MediaProductions::~MediaProductions()
{
    for(auto& [Key, InProgress] : m_InProgress)
        InProgress.Production->Detach();
}

CacheOutcome MediaProductions::Serve(HttpServer::Request const& Request, std::shared_ptr<HttpServer::Response> const& Response, SegmentKey const& Key,
                             MediaBodyAnswer Answer, bool Streams, SegmentTaskGroup& Group, bool Urgent, SegmentProduction::Producer Make)
{
    Answer.TakeConditions(Request);
    if(Answer.IsNotModified())
    {
        Answer.SendNotModified(*Response);
        return CacheOutcome::Revalidated;
    }
    if(auto const Body = m_Cache.Find(Key.Text()))
    {
        Answer.SendBody(m_Server, *Response, Body);
        return CacheOutcome::Hit;
    }
    if(Request.GetVerb() == HttpServer::Verb::Head)
    {
        Answer.SendHead(*Response);
        return CacheOutcome::None;
    }
    // Held here: a client gone already ends the production within Join.
    if(auto const Production = Asked(Key.Text()))
    {
        m_Metrics.Add(Counter::RequestsJoined);
        Production->Join(Response, std::move(Answer));
        return CacheOutcome::Joined;
    }
    Start(Response->GetExecutor(), Key, Streams, Group, Urgent ? Priority::Urgent : Priority::Asked, std::move(Make),
          [&](SegmentProduction& Started) { Started.Join(Response, std::move(Answer)); });
    return CacheOutcome::Made;
}

CacheOutcome MediaProductions::Observe(SegmentProduction::Executor const& Executor, SegmentKey const& Key, SegmentTaskGroup& Group, SegmentProduction::Producer Make,
                               SegmentProduction::Observer Watch)
{
    if(auto const Body = m_Cache.Find(Key.Text()))
    {
        Watch.OnFragments(Body->GetFragments());
        Watch.OnEnd(nullptr, Body);
        return CacheOutcome::Hit;
    }
    if(auto const Production = Asked(Key.Text()))
    {
        Production->Observe(std::move(Watch));
        return CacheOutcome::Joined;
    }
    Start(Executor, Key, true, Group, Priority::Asked, std::move(Make), [&](SegmentProduction& Started) { Started.Observe(std::move(Watch)); });
    return CacheOutcome::Made;
}

void MediaProductions::ReadAhead(SegmentProduction::Executor const& Executor, SegmentKey const& Key, SegmentTaskGroup& Group,
                                 SegmentProduction::Producer Make)
{
    if(m_InProgress.contains(Key.Text()) || m_Cache.Holds(Key.Text()) || !m_Cache.HasAheadRoom() || !Group.HasAheadRoom())
        return;
    m_Metrics.Add(Counter::ReadAheadMade);
    // Observed, so that it runs to its end and is kept with nobody waiting.
    Start(Executor, Key, true, Group, Priority::Ahead, std::move(Make), [](SegmentProduction& Started) {
        Started.Observe({[](std::vector<SharedBytes> const&) {}, [](std::exception_ptr, SharedMediaBody const&) {}});
    });
}

std::shared_ptr<SegmentProduction> MediaProductions::Asked(std::string const& Key)
{
    auto const Found = m_InProgress.find(Key);
    if(Found == m_InProgress.end())
        return nullptr;
    auto& InProgress = Found->second;
    if(InProgress.AheadGroup)
    {
        m_Metrics.Add(Counter::ReadAheadUsed);
        InProgress.AheadGroup->Promote(InProgress.Production.get());
        InProgress.AheadGroup = nullptr;
    }
    return InProgress.Production;
}

void MediaProductions::Start(SegmentProduction::Executor const& Executor, SegmentKey const& Key, bool Streams, SegmentTaskGroup& Group, Priority Order,
                             SegmentProduction::Producer Make, std::function<void(SegmentProduction& Production)> const& Attach)
{
    auto const Production = std::make_shared<SegmentProduction>(
        m_Server, Executor, Key.Text(), Streams,
        [this](SegmentProduction& Ended, SharedMediaBody const& Body) { OnEnded(Ended, Body); });
    m_InProgress.emplace(Key.Text(), Making{Production, Order == Priority::Ahead ? &Group : nullptr});
    m_Metrics.Add(Counter::ProductionsStarted);
    m_Metrics.Add(Gauge::ProductionsInProgress, 1);
    auto const Task = std::make_shared<ProductionTask>(Production, std::move(Make));
    Attach(*Production);
    auto Run = [Task] { Task->Production->Run(Task->Make); };
    if(Order == Priority::Ahead)
        Group.SubmitAhead(Production.get(), std::move(Run));
    else
        Group.Submit(std::move(Run), Order == Priority::Urgent);
}

void MediaProductions::OnEnded(SegmentProduction& Production, SharedMediaBody const& Body)
{
    std::string const Key = Production.GetKey(); // the entry may hold the last reference
    auto const Found = m_InProgress.find(Key);
    bool const Unasked = Found != m_InProgress.end() && Found->second.AheadGroup;
    if(Body)
    {
        m_Cache.Insert(Key, Body, Unasked);
        m_Metrics.Add(Counter::ProductionsCompleted);
        m_Metrics.CountProduction(Production.GetSeconds());
    }
    else if(Unasked)
        m_Metrics.Add(Counter::ReadAheadWasted);
    m_Metrics.Add(Gauge::ProductionsInProgress, -1);
    m_InProgress.erase(Key);
}
} // namespace Application
