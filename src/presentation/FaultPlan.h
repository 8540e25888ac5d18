// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "presentation/FaultCounters.h"
#include "presentation/FaultRule.h"

namespace Application
{
// The fault rules of one asset and what they remember between its
// requests: how often each segment was asked for (for "fail=503x1", in a
// table of counters bounded for the whole process: FaultCounters), how many
// playlist requests the asset had, and the last playlist of each URL (for
// "stale"). Copies of the asset share one plan. Thread-safe.
class FaultPlan
{
public:
    explicit FaultPlan(std::vector<FaultRule> Rules, FaultCounters& Counters = FaultCounters::Process());

    std::vector<FaultRule> const& GetRules() const noexcept { return m_Rules; }

    // The rules that fire for one request of a segment (Number after
    // baseIndex) of a video variant or the audio track, or for playlist
    // request Number, by Pathway (empty: the request names none). Counts
    // the request for rules with a count. Gap rules fire as a 404; stale
    // rules are left to RepeatedPlaylist.
    std::vector<FaultRule> Fire(FaultTrack Track, std::uint32_t Variant, std::uint32_t Number, std::string_view Pathway = {});
    // Whether a media playlist of Track (of Pathway) marks segment Number as missing.
    bool IsGap(FaultTrack Track, std::uint32_t Number, std::string_view Pathway = {}) const;
    bool HasGaps(FaultTrack Track, std::string_view Pathway = {}) const;
    // Playlist requests are numbered from 1 in the order they arrive.
    std::uint32_t NextPlaylistRequest();
    // The stale rule that selects playlist request Number (of Pathway), if any.
    std::optional<FaultRule> StaleRule(std::uint32_t Number, std::string_view Pathway = {}) const;
    bool HasStaleRules() const;

    // The last playlist made for Key, when it was made (absolute time) less
    // than Lifetime before Now.
    std::optional<std::string> RepeatedPlaylist(std::string const& Key, std::int64_t Now, std::int64_t Lifetime) const;
    void RememberPlaylist(std::string const& Key, std::int64_t Now, std::string Text);

private:
    struct Playlist
    {
        std::int64_t MadeAt = 0;
        std::string Text;
    };
    // Whether a counted rule still fires for this request of a segment.
    bool CountRequest(std::size_t Rule, FaultTrack Track, std::uint32_t Variant, std::uint32_t Number);

    std::vector<FaultRule> const m_Rules;
    FaultCounters& m_Counters;
    std::uint64_t const m_CounterPlan;
    mutable std::mutex m_Mutex;
    std::uint32_t m_PlaylistRequests = 0;
    std::map<std::string, Playlist> m_Playlists;
};
} // namespace Application
