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
    for(auto& [Key, Production] : m_InProgress)
        Production->Detach();
}

void MediaProductions::Serve(HttpServer::Request const& Request, std::shared_ptr<HttpServer::Response> const& Response, SegmentKey const& Key,
                             MediaBodyAnswer Answer, bool Streams, SegmentTaskGroup& Group, bool Urgent, SegmentProduction::Producer Make)
{
    Answer.TakeConditions(Request);
    if(Answer.IsNotModified())
    {
        Answer.SendNotModified(*Response);
        return;
    }
    if(auto const Body = m_Cache.Find(Key.Text()))
    {
        Answer.SendBody(m_Server, *Response, Body);
        return;
    }
    if(Request.GetVerb() == HttpServer::Verb::Head)
    {
        Answer.SendHead(*Response);
        return;
    }
    // Held here: a client gone already ends the production within Join.
    std::shared_ptr<SegmentProduction> Production;
    if(auto const Found = m_InProgress.find(Key.Text()); Found != m_InProgress.end())
    {
        Production = Found->second;
        m_Metrics.Add(Counter::RequestsJoined);
        Production->Join(Response, std::move(Answer));
        return;
    }
    Start(Response->GetExecutor(), Key, Streams, Group, Urgent, std::move(Make), [&](SegmentProduction& Started) { Started.Join(Response, std::move(Answer)); });
}

void MediaProductions::Observe(SegmentProduction::Executor const& Executor, SegmentKey const& Key, SegmentTaskGroup& Group, SegmentProduction::Producer Make,
                               SegmentProduction::Observer Watch)
{
    if(auto const Body = m_Cache.Find(Key.Text()))
    {
        Watch.OnFragments(Body->GetFragments());
        Watch.OnEnd(nullptr, Body);
        return;
    }
    if(auto const Found = m_InProgress.find(Key.Text()); Found != m_InProgress.end())
    {
        Found->second->Observe(std::move(Watch));
        return;
    }
    Start(Executor, Key, true, Group, false, std::move(Make), [&](SegmentProduction& Started) { Started.Observe(std::move(Watch)); });
}

void MediaProductions::Start(SegmentProduction::Executor const& Executor, SegmentKey const& Key, bool Streams, SegmentTaskGroup& Group, bool Urgent,
                             SegmentProduction::Producer Make, std::function<void(SegmentProduction& Production)> const& Attach)
{
    auto const Production = std::make_shared<SegmentProduction>(
        m_Server, Executor, Key.Text(), Streams,
        [this](SegmentProduction& Ended, SharedMediaBody const& Body) { OnEnded(Ended, Body); });
    m_InProgress.emplace(Key.Text(), Production);
    m_Metrics.Add(Counter::ProductionsStarted);
    m_Metrics.Add(Gauge::ProductionsInProgress, 1);
    auto const Task = std::make_shared<ProductionTask>(Production, std::move(Make));
    Attach(*Production);
    Group.Submit([Task] { Task->Production->Run(Task->Make); }, Urgent);
}

void MediaProductions::OnEnded(SegmentProduction& Production, SharedMediaBody const& Body)
{
    if(Body)
    {
        m_Cache.Insert(Production.GetKey(), Body);
        m_Metrics.Add(Counter::ProductionsCompleted);
        m_Metrics.CountProduction(Production.GetSeconds());
    }
    m_Metrics.Add(Gauge::ProductionsInProgress, -1);
    std::string const Key = Production.GetKey(); // the entry may hold the last reference
    m_InProgress.erase(Key);
}
} // namespace Application
