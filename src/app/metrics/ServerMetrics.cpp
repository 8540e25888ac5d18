// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/metrics/ServerMetrics.h"

namespace Application
{
void ServerMetrics::CountAnswer(std::string_view Route, unsigned Status)
{
    std::lock_guard Lock(m_Mutex);
    ++m_Answers[{std::string(Route), Status}];
}

void ServerMetrics::CountProduction(double Seconds)
{
    std::lock_guard Lock(m_Mutex);
    for(std::size_t Index = 0; Index < SecondsBuckets.size(); ++Index)
        if(Seconds <= SecondsBuckets[Index])
        {
            ++m_Productions.Counts[Index];
            break;
        }
    ++m_Productions.Count;
    m_Productions.Sum += Seconds;
}

void ServerMetrics::CountPathwayRequest(std::string_view Pathway, std::string_view Route)
{
    std::lock_guard Lock(m_Mutex);
    if(!m_PathwayNames.contains(Pathway) && m_PathwayNames.size() < MaximalPathwayNames)
        m_PathwayNames.emplace(Pathway);
    std::string Name = m_PathwayNames.contains(Pathway) ? std::string(Pathway) : OtherPathways;
    ++m_PathwayRequests[{std::move(Name), std::string(Route)}];
}

std::map<std::pair<std::string, std::string>, std::uint64_t> ServerMetrics::GetPathwayRequests() const
{
    std::lock_guard Lock(m_Mutex);
    return m_PathwayRequests;
}

std::map<std::pair<std::string, unsigned>, std::uint64_t> ServerMetrics::GetAnswers() const
{
    std::lock_guard Lock(m_Mutex);
    return m_Answers;
}

ServerMetrics::Histogram ServerMetrics::GetProductions() const
{
    std::lock_guard Lock(m_Mutex);
    return m_Productions;
}
} // namespace Application
