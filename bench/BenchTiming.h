// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

// Wall-clock timing shared by the benchmark programs.
namespace BenchTiming
{
inline double Seconds(std::function<void()> const& Body)
{
    auto const Start = std::chrono::steady_clock::now();
    Body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

// The median of several rounds: steadier than the mean on a shared machine.
inline double Median(int Rounds, std::function<void()> const& Body)
{
    std::vector<double> Times;
    for(int Round = 0; Round < Rounds; ++Round)
        Times.push_back(Seconds(Body));
    std::sort(Times.begin(), Times.end());
    return Times[Times.size() / 2];
}
} // namespace BenchTiming
