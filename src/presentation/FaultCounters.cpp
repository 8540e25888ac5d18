// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/FaultCounters.h"

#include <algorithm>
#include <functional>

namespace Application
{
FaultCounters::FaultCounters(std::size_t MaximalCounters) : m_MaximalCounters(std::max<std::size_t>(MaximalCounters, 1))
{
}

FaultCounters& FaultCounters::Process()
{
    static FaultCounters Table;
    return Table;
}

std::size_t FaultCounters::KeyHash::operator()(Key const& Value) const noexcept
{
    std::uint64_t Mixed = Value.Plan;
    for(std::uint64_t Part : {std::uint64_t{Value.Rule}, static_cast<std::uint64_t>(Value.Track), std::uint64_t{Value.Variant}, std::uint64_t{Value.Number}})
        Mixed = (Mixed ^ Part) * 0x100000001B3ull + (Mixed >> 29);
    return std::hash<std::uint64_t>{}(Mixed);
}

std::uint64_t FaultCounters::NewPlan()
{
    std::lock_guard Lock(m_Mutex);
    return m_NextPlan++;
}

bool FaultCounters::Count(Key const& Counter, std::uint32_t Limit)
{
    std::lock_guard Lock(m_Mutex);
    auto Found = m_Entries.find(Counter);
    if(Found == m_Entries.end())
    {
        if(m_Entries.size() >= m_MaximalCounters)
        {
            m_Entries.erase(m_Recent.back().Counter);
            m_Recent.pop_back();
        }
        m_Recent.push_front({Counter, 0});
        Found = m_Entries.emplace(Counter, m_Recent.begin()).first;
    }
    else
        m_Recent.splice(m_Recent.begin(), m_Recent, Found->second);
    auto& Requests = Found->second->Requests;
    if(Requests >= Limit)
        return false;
    ++Requests;
    return true;
}

std::size_t FaultCounters::Size() const
{
    std::lock_guard Lock(m_Mutex);
    return m_Entries.size();
}
} // namespace Application
