// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <set>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace Application
{
// Every figure the "metrics" route reports, in one place. The parts of the
// server that own a figure push it here as it changes (answers by route and
// status, the making of media, the cache, the task queues, held requests,
// open connections); the route only reads. Safe to use from any thread.
class ServerMetrics
{
public:
    // Upper bounds of the production time histogram, in seconds: a 3 s
    // segment of the 720p variant takes about 0.3 s on one processor, a
    // progressive file many seconds.
    static constexpr std::array<double, 11> SecondsBuckets{0.05, 0.1, 0.25, 0.5, 1, 2, 4, 8, 16, 32, 64};

    // Totals that only grow.
    enum class Counter : unsigned
    {
        ProductionsStarted,
        ProductionsCompleted,
        RequestsJoined,
        CacheHits,
        CacheMisses,
        CacheInsertions,
        CacheEvictions,
        ReadAheadMade,
        ReadAheadUsed,
        ReadAheadWasted,
        Count
    };
    // Levels that go up and down.
    enum class Gauge : unsigned
    {
        ProductionsInProgress,
        CacheBytes,
        CacheEntries,
        CacheLimitBytes,
        ConnectionsOpen,
        HeldPlaylists,
        HeldParts,
        VideoTasksWaiting,
        VideoTasksRunning,
        AudioTasksWaiting,
        AudioTasksRunning,
        RequestLogRecords,
        RequestLogAssets,
        Count
    };

    struct Histogram
    {
        std::array<std::uint64_t, SecondsBuckets.size()> Counts{}; // not cumulative
        std::uint64_t Count = 0;
        double Sum = 0;
    };

    void Add(Counter Which, std::uint64_t Amount = 1) noexcept { m_Counters[Index(Which)] += Amount; }
    void Add(Gauge Which, std::int64_t Delta) noexcept { m_Gauges[Index(Which)] += Delta; }
    void Set(Gauge Which, std::int64_t Value) noexcept { m_Gauges[Index(Which)] = Value; }
    std::uint64_t Get(Counter Which) const noexcept { return m_Counters[Index(Which)]; }
    std::int64_t Get(Gauge Which) const noexcept { return m_Gauges[Index(Which)]; }

    // Requests of playlists, keys and media by the pathway of content
    // steering they came by, and route. Clients name pathways: beyond this
    // many names the rest are counted together as "other".
    static constexpr std::size_t MaximalPathwayNames = 64;
    static constexpr char const* OtherPathways = "other";

    void CountAnswer(std::string_view Route, unsigned Status);
    void CountProduction(double Seconds);
    void CountPathwayRequest(std::string_view Pathway, std::string_view Route);
    std::map<std::pair<std::string, unsigned>, std::uint64_t> GetAnswers() const;
    std::map<std::pair<std::string, std::string>, std::uint64_t> GetPathwayRequests() const;
    Histogram GetProductions() const;

private:
    template <typename EnumT>
    static constexpr unsigned Index(EnumT Value) noexcept
    {
        return static_cast<unsigned>(Value);
    }

    std::array<std::atomic<std::uint64_t>, static_cast<unsigned>(Counter::Count)> m_Counters{};
    std::array<std::atomic<std::int64_t>, static_cast<unsigned>(Gauge::Count)> m_Gauges{};
    mutable std::mutex m_Mutex;
    std::map<std::pair<std::string, unsigned>, std::uint64_t> m_Answers;
    std::map<std::pair<std::string, std::string>, std::uint64_t> m_PathwayRequests;
    std::set<std::string, std::less<>> m_PathwayNames;
    Histogram m_Productions;
};
} // namespace Application
