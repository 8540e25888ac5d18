// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/FaultPlan.h"

#include <algorithm>

namespace Application
{
FaultPlan::FaultPlan(std::vector<FaultRule> Rules, FaultCounters& Counters) :
    m_Rules(std::move(Rules)), m_Counters(Counters), m_CounterPlan(Counters.NewPlan())
{
}

std::vector<FaultRule> FaultPlan::Fire(FaultTrack Track, std::uint32_t Variant, std::uint32_t Number, std::string_view Pathway)
{
    std::vector<FaultRule> Fired;
    for(std::size_t Index = 0; Index < m_Rules.size(); ++Index)
    {
        auto const& Rule = m_Rules[Index];
        if(Rule.Kind == FaultKind::Stale || !Rule.Matches(Track, Number, Pathway))
            continue;
        if(Rule.Count != 0 && !CountRequest(Index, Track, Variant, Number))
            continue;
        Fired.push_back(Rule);
    }
    return Fired;
}

bool FaultPlan::CountRequest(std::size_t Rule, FaultTrack Track, std::uint32_t Variant, std::uint32_t Number)
{
    return m_Counters.Count({m_CounterPlan, static_cast<std::uint32_t>(Rule), Track, Variant, Number}, m_Rules[Rule].Count);
}

bool FaultPlan::IsGap(FaultTrack Track, std::uint32_t Number, std::string_view Pathway) const
{
    return std::any_of(m_Rules.begin(), m_Rules.end(),
                       [&](FaultRule const& Rule) { return Rule.Kind == FaultKind::Gap && Rule.Matches(Track, Number, Pathway); });
}

bool FaultPlan::HasGaps(FaultTrack Track, std::string_view Pathway) const
{
    return std::any_of(m_Rules.begin(), m_Rules.end(), [&](FaultRule const& Rule) {
        return Rule.Kind == FaultKind::Gap && (Rule.Track == Track || Rule.Track == FaultTrack::Any) && Rule.OnPathway(Pathway);
    });
}

std::uint32_t FaultPlan::NextPlaylistRequest()
{
    std::lock_guard Lock(m_Mutex);
    return ++m_PlaylistRequests;
}

std::optional<FaultRule> FaultPlan::StaleRule(std::uint32_t Number, std::string_view Pathway) const
{
    for(auto const& Rule : m_Rules)
        if(Rule.Kind == FaultKind::Stale && Rule.Matches(FaultTrack::Playlist, Number, Pathway))
            return Rule;
    return std::nullopt;
}

bool FaultPlan::HasStaleRules() const
{
    return std::any_of(m_Rules.begin(), m_Rules.end(), [](FaultRule const& Rule) { return Rule.Kind == FaultKind::Stale; });
}

std::optional<std::string> FaultPlan::RepeatedPlaylist(std::string const& Key, std::int64_t Now, std::int64_t Lifetime) const
{
    std::lock_guard Lock(m_Mutex);
    auto const Found = m_Playlists.find(Key);
    // A clock stepped back (a test's "now") gets a fresh playlist too.
    if(Found == m_Playlists.end() || Now < Found->second.MadeAt || Now - Found->second.MadeAt >= Lifetime)
        return std::nullopt;
    return Found->second.Text;
}

void FaultPlan::RememberPlaylist(std::string const& Key, std::int64_t Now, std::string Text)
{
    std::lock_guard Lock(m_Mutex);
    m_Playlists[Key] = {Now, std::move(Text)};
}
} // namespace Application
