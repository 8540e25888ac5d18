// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/production/SegmentCache.h"

namespace Application
{
using Counter = ServerMetrics::Counter;
using Gauge = ServerMetrics::Gauge;

SegmentCache::SegmentCache(std::uint64_t MaximalBytes, std::shared_ptr<ServerMetrics> Metrics) :
    m_MaximalBytes(MaximalBytes), m_Metrics(std::move(Metrics))
{
    m_Metrics->Set(Gauge::CacheLimitBytes, static_cast<std::int64_t>(m_MaximalBytes));
}

std::uint64_t SegmentCache::Cost(Entry const& Value) noexcept
{
    // The key is held twice (list and index); each fragment has its own
    // block and control block; the rest is small and fixed.
    return Value.Body->GetSize() + 2 * Value.Key.size() + 64 * Value.Body->GetFragments().size() + 128;
}

SharedMediaBody SegmentCache::Find(std::string const& Key)
{
    std::lock_guard Lock(m_Mutex);
    auto const Found = m_Entries.find(Key);
    if(Found == m_Entries.end())
    {
        m_Metrics->Add(Counter::CacheMisses);
        return nullptr;
    }
    m_Metrics->Add(Counter::CacheHits);
    auto& Value = *Found->second;
    if(Value.Ahead)
    {
        Value.Ahead = false;
        m_AheadBytes -= Cost(Value);
        m_Metrics->Add(Counter::ReadAheadUsed);
    }
    m_Recent.splice(m_Recent.begin(), m_Recent, Found->second);
    return Value.Body;
}

bool SegmentCache::Holds(std::string const& Key)
{
    std::lock_guard Lock(m_Mutex);
    return m_Entries.contains(Key);
}

bool SegmentCache::HasAheadRoom()
{
    std::lock_guard Lock(m_Mutex);
    return m_AheadBytes < m_MaximalBytes / 4;
}

void SegmentCache::Insert(std::string const& Key, SharedMediaBody Body, bool Ahead)
{
    Entry Value{Key, std::move(Body), Ahead};
    std::uint64_t const Size = Cost(Value);
    std::lock_guard Lock(m_Mutex);
    if(auto const Found = m_Entries.find(Key); Found != m_Entries.end())
        Remove(Found->second);
    if(Size <= m_MaximalBytes)
    {
        while(m_Bytes + Size > m_MaximalBytes)
        {
            Remove(std::prev(m_Recent.end()));
            m_Metrics->Add(Counter::CacheEvictions);
        }
        m_Recent.push_front(std::move(Value));
        m_Entries.emplace(Key, m_Recent.begin());
        m_Bytes += Size;
        if(Ahead)
            m_AheadBytes += Size;
        m_Metrics->Add(Counter::CacheInsertions);
    }
    else if(Ahead)
        m_Metrics->Add(Counter::ReadAheadWasted);
    Publish();
}

void SegmentCache::Remove(std::list<Entry>::iterator Position)
{
    std::uint64_t const Size = Cost(*Position);
    m_Bytes -= Size;
    if(Position->Ahead)
    {
        m_AheadBytes -= Size;
        m_Metrics->Add(Counter::ReadAheadWasted);
    }
    m_Entries.erase(Position->Key);
    m_Recent.erase(Position);
}

void SegmentCache::Publish()
{
    m_Metrics->Set(Gauge::CacheBytes, static_cast<std::int64_t>(m_Bytes));
    m_Metrics->Set(Gauge::CacheEntries, static_cast<std::int64_t>(m_Entries.size()));
}
} // namespace Application
