// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "app/answers/MediaBodyAnswer.h"
#include "app/routing/RouteContext.h"
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
// segment is made once however many players ask for it. Used on the I/O
// thread; the destructor runs after the last response is complete.
class MediaProductions
{
public:
    struct Statistics
    {
        std::uint64_t Started = 0;   // productions started
        std::uint64_t Completed = 0; // made completely (and kept)
        std::uint64_t Joined = 0;    // requests that joined one in progress
        std::uint64_t InProgress = 0;
    };

    MediaProductions(ServerContext& Server, std::uint64_t CacheBytes);
    ~MediaProductions();
    MediaProductions(MediaProductions const&) = delete;
    MediaProductions& operator=(MediaProductions const&) = delete;

    // Answers the request of Context for the media named by Key, described
    // by Answer (its conditions are taken here). Streams: the media may go
    // out in chunks as made. Make runs on Group when a production starts.
    void Serve(RouteContext& Context, SegmentKey const& Key, MediaBodyAnswer Answer, bool Streams, SegmentTaskGroup& Group, bool Urgent,
               SegmentProduction::Producer Make);

    // Hands the media named by Key to Watch: at once from the cache, or as
    // it is made by the production in progress or a new one (which then
    // runs to its end and is kept, whoever else leaves).
    // Executor is the I/O thread's.
    void Observe(SegmentProduction::Executor const& Executor, SegmentKey const& Key, SegmentTaskGroup& Group, SegmentProduction::Producer Make,
                 SegmentProduction::Observer Watch);

    SegmentCache const& GetCache() const noexcept { return m_Cache; }
    Statistics GetStatistics() const noexcept;

private:
    // A new production of Key, registered and handed to Group once it has
    // its first client or observer (Attach).
    void Start(SegmentProduction::Executor const& Executor, SegmentKey const& Key, bool Streams, SegmentTaskGroup& Group, bool Urgent,
               SegmentProduction::Producer Make, std::function<void(SegmentProduction& Production)> const& Attach);
    void OnEnded(SegmentProduction& Production, HttpServer::SharedBytes const& Body);

    ServerContext& m_Server;
    SegmentCache m_Cache;
    std::unordered_map<std::string, std::shared_ptr<SegmentProduction>> m_InProgress;
    std::atomic<std::uint64_t> m_Started{0};
    std::atomic<std::uint64_t> m_Completed{0};
    std::atomic<std::uint64_t> m_Joined{0};
    std::atomic<std::uint64_t> m_InProgressCount{0};
};
} // namespace Application
