// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/production/PlaylistCache.h"

#include "app/answers/EntityTagOf.h"

namespace Application
{
PlaylistCache::Text PlaylistCache::Get(std::string const& Key, std::int64_t Time, bool Tagged, std::function<std::string()> const& Make)
{
    if(auto const Found = m_Entries.find(Key); Found != m_Entries.end())
    {
        if(Found->second->Time == Time && (!Tagged || !Found->second->Made.EntityTag.empty()))
        {
            m_Recent.splice(m_Recent.begin(), m_Recent, Found->second);
            return Found->second->Made;
        }
        Remove(Found->second);
    }
    std::string Made = Make();
    Text Value{nullptr, Tagged ? EntityTagOf(Made) : std::string()};
    Value.Bytes = std::make_shared<std::vector<std::uint8_t> const>(Made.begin(), Made.end());
    m_Recent.push_front({Key, Time, Value});
    m_Entries.emplace(Key, m_Recent.begin());
    m_Bytes += Value.Bytes->size();
    while(m_Entries.size() > MaximalEntries || (m_Bytes > MaximalBytes && m_Entries.size() > 1))
        Remove(std::prev(m_Recent.end()));
    return Value;
}

void PlaylistCache::Remove(std::list<Entry>::iterator Position)
{
    m_Bytes -= Position->Made.Bytes->size();
    m_Entries.erase(Position->Key);
    m_Recent.erase(Position);
}
} // namespace Application
