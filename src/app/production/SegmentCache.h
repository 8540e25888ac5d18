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
// in the server's metrics. Safe to use from any thread.
class SegmentCache
{
public:
    // The default limit: 512 MiB, about 3,500 segments of the 720p variant
    // (about 140 kB each) with their audio (about 46 kB).
    static constexpr std::uint64_t DefaultMaximalBytes = std::uint64_t{512} << 20;

    SegmentCache(std::uint64_t MaximalBytes, std::shared_ptr<ServerMetrics> Metrics);

    // The body kept under Key, or null; counts a hit or a miss.
    SharedMediaBody Find(std::string const& Key);
    // Keeps Body under Key (replacing what was there) and evicts the least
    // recently used entries until the limit holds again.
    void Insert(std::string const& Key, SharedMediaBody Body);

private:
    struct Entry
    {
        std::string Key;
        SharedMediaBody Body;
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
};
} // namespace Application
