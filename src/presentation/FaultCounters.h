// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <unordered_map>

#include "presentation/FaultRule.h"

namespace Application
{
// How many requests of each segment the counted fault rules ("fail=503x1")
// of every asset have let fail, in one table for the whole process, so that
// what they remember is bounded however many assets and segments clients
// name. At most a fixed number of counters is kept (about 115 bytes each);
// when the table is full, the least recently used counter is forgotten and
// its segment counts from 0 again: a player that comes back to a segment
// long after its retries sees the fault anew. Counters of an asset that is
// gone age out the same way. Thread-safe.
class FaultCounters
{
public:
    // About 12 MB at the most.
    static constexpr std::size_t MaximalFaultCounters = 100'000;

    // What one counter counts: the requests of one segment (Number) of a
    // video variant or the audio track, for one rule of one plan.
    struct Key
    {
        std::uint64_t Plan = 0;
        std::uint32_t Rule = 0;
        FaultTrack Track = FaultTrack::Any;
        std::uint32_t Variant = 0;
        std::uint32_t Number = 0;

        bool operator==(Key const&) const = default;
    };

    explicit FaultCounters(std::size_t MaximalCounters = MaximalFaultCounters);
    FaultCounters(FaultCounters const&) = delete;
    FaultCounters& operator=(FaultCounters const&) = delete;

    // The table of the process, which fault plans use unless given another.
    static FaultCounters& Process();

    // A plan number no other plan of this table gets.
    std::uint64_t NewPlan();
    // Counts one more request of Key unless Limit were counted already;
    // whether it was counted (the rule fires).
    bool Count(Key const& Counter, std::uint32_t Limit);
    std::size_t Size() const;

private:
    struct KeyHash
    {
        std::size_t operator()(Key const& Value) const noexcept;
    };
    struct Entry
    {
        Key Counter;
        std::uint32_t Requests = 0;
    };

    std::size_t const m_MaximalCounters;
    mutable std::mutex m_Mutex;
    // Most recently used first.
    std::list<Entry> m_Recent;
    std::unordered_map<Key, std::list<Entry>::iterator, KeyHash> m_Entries;
    std::uint64_t m_NextPlan = 1;
};
} // namespace Application
