// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "app/answers/MediaBody.h"
#include "app/metrics/ServerMetrics.h"

namespace Application
{
// Made media kept in memory by what determines its bytes (SegmentKey), so
// that a segment made once is sent to every player that asks for it. The
// least recently used entries go first once the bytes held would pass the
// limit; an entry larger than the limit is not kept. A limit of 0 keeps
// nothing. Hits, misses, insertions, evictions and what is held are counted
// in the server's metrics. A body made ahead of its request is kept as
// read-ahead until a request finds it (read-ahead used) or it is evicted
// unfound (read-ahead wasted). Safe to use from any thread.
class SegmentCache
{
public:
    // The default limit: 512 MiB, about 3,500 segments of the 720p variant
    // (about 140 kB each) with their audio (about 46 kB).
    static constexpr std::uint64_t DefaultMaximalBytes = std::uint64_t{512} << 20;

    SegmentCache(std::uint64_t MaximalBytes, std::shared_ptr<ServerMetrics> Metrics);

    // The body kept under Key, or null; counts a hit or a miss.
    SharedMediaBody Find(std::string const& Key);
    // Whether a body is kept under Key; counts nothing.
    bool Holds(std::string const& Key);
    // Keeps Body under Key (replacing what was there) and evicts the least
    // recently used entries until the limit holds again. Ahead: made
    // before anyone asked for it.
    void Insert(std::string const& Key, SharedMediaBody Body, bool Ahead = false);
    // Whether read-ahead bodies nobody has asked for yet hold less than
    // their share of the limit (a quarter), so that more may be made.
    bool HasAheadRoom();

private:
    struct Entry
    {
        std::string Key;
        SharedMediaBody Body;
        bool Ahead; // made ahead and not asked for since
    };
    static std::uint64_t Cost(Entry const& Value) noexcept;
    void Remove(std::list<Entry>::iterator Position);
    void Publish();

    std::uint64_t const m_MaximalBytes;
    std::shared_ptr<ServerMetrics> const m_Metrics;
    std::mutex m_Mutex;
    // Most recently used first.
    std::list<Entry> m_Recent;
    std::unordered_map<std::string, std::list<Entry>::iterator> m_Entries;
    std::uint64_t m_Bytes = 0; // held now, keys and fragment lists included
    std::uint64_t m_AheadBytes = 0; // of entries made ahead, not yet asked for
};
} // namespace Application
