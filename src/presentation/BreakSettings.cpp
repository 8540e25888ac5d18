// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/BreakSettings.h"

#include <algorithm>

namespace Application
{
std::vector<AdSlot> BreakSettings::AdsOf(AdBreak const& Break) const
{
    std::vector<AdSlot> Slots;
    std::int64_t const Grid = Schedule.Grid();
    if(Ads == 0 || Grid <= 0)
        return Slots;
    std::int64_t const Segments = Break.Duration / Grid;
    std::int64_t const Count = std::min<std::int64_t>(Ads, Segments);
    for(std::int64_t Number = 1; Number <= Count; ++Number)
    {
        std::int64_t const First = (Number - 1) * Segments / Count;
        std::int64_t const End = Number * Segments / Count;
        Slots.push_back({static_cast<std::uint32_t>(Number), First * Grid, (End - First) * Grid});
    }
    return Slots;
}
} // namespace Application
