// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "app/answers/MediaBodyAnswer.h"
#include "app/context/ServerContext.h"
#include "app/sessions/RequestRecord.h"
#include "app/production/SegmentCache.h"
#include "app/production/SegmentKey.h"
#include "app/production/SegmentProduction.h"
#include "app/production/SegmentTaskGroup.h"

namespace Application
{
// Answers every request for media by what determines its bytes: a client
// whose copy is current gets 304; a kept body is sent whole at once from the
// cache; a request for media being made joins its production; any other
// starts one on a task group, and its body is kept once complete. So each
// segment is made once however many players ask for it. A HEAD request is
// answered from the cache or with the head alone: nothing is made for it.
// Productions started, completed and joined are counted in the server's
// metrics.
//
// Read-ahead makes media before anyone asks for it (the next segments of a
// track a player follows), at the lowest priority of the task group, and
// keeps it: a request that comes for it joins or finds it kept (read-ahead
// used; a read-ahead still waiting for a worker is then promoted among the
// asked-for tasks). Read-ahead is bounded: bodies nobody asked for hold at
// most a share of the cache (SegmentCache::HasAheadRoom), and a group takes
// at most SegmentTaskGroup::MaximalAheadWaiting of them at once.
//
// Used on the I/O thread; the destructor runs after the last response is
// complete.
class MediaProductions
{
public:
    MediaProductions(ServerContext& Server, std::uint64_t CacheBytes);
    ~MediaProductions();
    MediaProductions(MediaProductions const&) = delete;
    MediaProductions& operator=(MediaProductions const&) = delete;

    // Answers Request through Response with the media named by Key,
    // described by Answer (its conditions are taken here). Streams: the
    // media may go out in fragments as made. Make runs on Group when a
    // production starts. Returns where the answer came from (None: a HEAD
    // request for media not kept, answered with the head alone).
    CacheOutcome Serve(HttpServer::Request const& Request, std::shared_ptr<HttpServer::Response> const& Response, SegmentKey const& Key, MediaBodyAnswer Answer,
               bool Streams, SegmentTaskGroup& Group, bool Urgent, SegmentProduction::Producer Make);

    // Hands the media named by Key to Watch: at once from the cache, or as
    // it is made by the production in progress or a new one (which then
    // runs to its end and is kept, whoever else leaves).
    // Executor is the I/O thread's. Returns where the media comes from.
    CacheOutcome Observe(SegmentProduction::Executor const& Executor, SegmentKey const& Key, SegmentTaskGroup& Group, SegmentProduction::Producer Make,
                 SegmentProduction::Observer Watch);

    // Makes the media named by Key ahead of its request, unless it is kept,
    // being made, or read-ahead has no room.
    void ReadAhead(SegmentProduction::Executor const& Executor, SegmentKey const& Key, SegmentTaskGroup& Group, SegmentProduction::Producer Make);

private:
    struct Making
    {
        std::shared_ptr<SegmentProduction> Production;
        // While made ahead and not asked for: the group it runs in.
        SegmentTaskGroup* AheadGroup = nullptr;
    };
    // How a new production's task goes to its group.
    enum class Priority
    {
        Asked,
        Urgent,
        Ahead,
    };

    // A new production of Key, registered and handed to Group once it has
    // its first client or observer (Attach).
    void Start(SegmentProduction::Executor const& Executor, SegmentKey const& Key, bool Streams, SegmentTaskGroup& Group, Priority Order,
               SegmentProduction::Producer Make, std::function<void(SegmentProduction& Production)> const& Attach);
    // The production of Key in progress, now asked for; null if none.
    std::shared_ptr<SegmentProduction> Asked(std::string const& Key);
    void OnEnded(SegmentProduction& Production, SharedMediaBody const& Body);

    ServerContext& m_Server;
    ServerMetrics& m_Metrics;
    SegmentCache m_Cache;
    std::unordered_map<std::string, Making> m_InProgress;
};
} // namespace Application
