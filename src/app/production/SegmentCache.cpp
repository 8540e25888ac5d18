// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/production/SegmentCache.h"

namespace Application
{
SegmentCache::SegmentCache(std::uint64_t MaximalBytes) : m_MaximalBytes(MaximalBytes)
{
}

std::uint64_t SegmentCache::Cost(Entry const& Value) noexcept
{
    // The key is held twice (list and index); the rest is small and fixed.
    return Value.Body->size() + 2 * Value.Key.size() + 128;
}

HttpServer::SharedBytes SegmentCache::Find(std::string const& Key)
{
    std::lock_guard Lock(m_Mutex);
    auto const Found = m_Entries.find(Key);
    if(Found == m_Entries.end())
    {
        ++m_Statistics.Misses;
        return nullptr;
    }
    ++m_Statistics.Hits;
    m_Recent.splice(m_Recent.begin(), m_Recent, Found->second);
    return Found->second->Body;
}

void SegmentCache::Insert(std::string const& Key, HttpServer::SharedBytes Body)
{
    Entry Value{Key, std::move(Body)};
    std::uint64_t const Size = Cost(Value);
    std::lock_guard Lock(m_Mutex);
    if(auto const Found = m_Entries.find(Key); Found != m_Entries.end())
        Remove(Found->second);
    if(Size > m_MaximalBytes)
        return;
    while(m_Statistics.Bytes + Size > m_MaximalBytes)
    {
        Remove(std::prev(m_Recent.end()));
        ++m_Statistics.Evictions;
    }
    m_Recent.push_front(std::move(Value));
    m_Entries.emplace(Key, m_Recent.begin());
    m_Statistics.Bytes += Size;
    ++m_Statistics.Insertions;
    m_Statistics.Entries = m_Entries.size();
}

void SegmentCache::Remove(std::list<Entry>::iterator Position)
{
    m_Statistics.Bytes -= Cost(*Position);
    m_Entries.erase(Position->Key);
    m_Recent.erase(Position);
    m_Statistics.Entries = m_Entries.size();
}

SegmentCache::Statistics SegmentCache::GetStatistics() const
{
    std::lock_guard Lock(m_Mutex);
    return m_Statistics;
}
} // namespace Application
