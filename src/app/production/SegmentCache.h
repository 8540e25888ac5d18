// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

#include "http/Response.h"

namespace Application
{
// Made media kept in memory by what determines its bytes (SegmentKey), so
// that a segment made once is sent to every player that asks for it. The
// least recently used entries go first once the bytes held would pass the
// limit; an entry larger than the limit is not kept. A limit of 0 keeps
// nothing. Safe to use from any thread.
class SegmentCache
{
public:
    // The default limit: 512 MiB, about 3,500 segments of the 720p variant
    // (about 140 kB each) with their audio (about 46 kB).
    static constexpr std::uint64_t DefaultMaximalBytes = std::uint64_t{512} << 20;

    struct Statistics
    {
        std::uint64_t Hits = 0;
        std::uint64_t Misses = 0;
        std::uint64_t Insertions = 0;
        std::uint64_t Evictions = 0;
        std::uint64_t Bytes = 0; // held now, keys included
        std::uint64_t Entries = 0;
    };

    explicit SegmentCache(std::uint64_t MaximalBytes = DefaultMaximalBytes);

    // The bytes kept under Key, or null; counts a hit or a miss.
    HttpServer::SharedBytes Find(std::string const& Key);
    // Keeps Body under Key (replacing what was there) and evicts the least
    // recently used entries until the limit holds again.
    void Insert(std::string const& Key, HttpServer::SharedBytes Body);

    std::uint64_t GetMaximalBytes() const noexcept { return m_MaximalBytes; }
    Statistics GetStatistics() const;

private:
    struct Entry
    {
        std::string Key;
        HttpServer::SharedBytes Body;
    };
    static std::uint64_t Cost(Entry const& Value) noexcept;
    void Remove(std::list<Entry>::iterator Position);

    std::uint64_t const m_MaximalBytes;
    mutable std::mutex m_Mutex;
    // Most recently used first.
    std::list<Entry> m_Recent;
    std::unordered_map<std::string, std::list<Entry>::iterator> m_Entries;
    Statistics m_Statistics;
};
} // namespace Application
