// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace Application
{
// Counters of the whole server that the "metrics" route reports: answers by
// route and status, and the making of media (how many, how long). Other
// figures (cache, queues, connections) are read from their owners when the
// route is asked. Safe to use from any thread.
class ServerMetrics
{
public:
    // Upper bounds of the production time histogram, in seconds: a 3 s
    // segment of the 720p variant takes about 0.3 s on one processor, a
    // progressive file many seconds.
    static constexpr std::array<double, 11> SecondsBuckets{0.05, 0.1, 0.25, 0.5, 1, 2, 4, 8, 16, 32, 64};

    struct Histogram
    {
        std::array<std::uint64_t, SecondsBuckets.size()> Counts{}; // not cumulative
        std::uint64_t Count = 0;
        double Sum = 0;
    };

    void CountAnswer(std::string_view Route, unsigned Status);
    void CountProduction(double Seconds);

    std::map<std::pair<std::string, unsigned>, std::uint64_t> GetAnswers() const;
    Histogram GetProductions() const;

    // The open connections, counted by the HTTP front end on the I/O thread.
    std::function<std::size_t()> ConnectionCount;
    // Requests held until what they ask for exists (low-latency HLS), on the I/O thread.
    std::function<std::size_t()> HeldPlaylistCount;
    std::function<std::size_t()> HeldPartCount;

private:
    mutable std::mutex m_Mutex;
    std::map<std::pair<std::string, unsigned>, std::uint64_t> m_Answers;
    Histogram m_Productions;
};
} // namespace Application
