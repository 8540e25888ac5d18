// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "app/answers/MediaBodyAnswer.h"
#include "app/context/ServerContext.h"
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
// metrics. Used on the I/O thread; the destructor runs after the last
// response is complete.
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
    // production starts.
    void Serve(HttpServer::Request const& Request, std::shared_ptr<HttpServer::Response> const& Response, SegmentKey const& Key, MediaBodyAnswer Answer,
               bool Streams, SegmentTaskGroup& Group, bool Urgent, SegmentProduction::Producer Make);

    // Hands the media named by Key to Watch: at once from the cache, or as
    // it is made by the production in progress or a new one (which then
    // runs to its end and is kept, whoever else leaves).
    // Executor is the I/O thread's.
    void Observe(SegmentProduction::Executor const& Executor, SegmentKey const& Key, SegmentTaskGroup& Group, SegmentProduction::Producer Make,
                 SegmentProduction::Observer Watch);


private:
    // A new production of Key, registered and handed to Group once it has
    // its first client or observer (Attach).
    void Start(SegmentProduction::Executor const& Executor, SegmentKey const& Key, bool Streams, SegmentTaskGroup& Group, bool Urgent,
               SegmentProduction::Producer Make, std::function<void(SegmentProduction& Production)> const& Attach);
    void OnEnded(SegmentProduction& Production, SharedMediaBody const& Body);

    ServerContext& m_Server;
    ServerMetrics& m_Metrics;
    SegmentCache m_Cache;
    std::unordered_map<std::string, std::shared_ptr<SegmentProduction>> m_InProgress;
};
} // namespace Application
