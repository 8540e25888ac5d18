// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

namespace Application
{
// One ad break of an asset's schedule, on the media timeline (100-ns units;
// on a live asset, from the live timeline's segment 0). Breaks are numbered
// from 1 in the order they come.
struct AdBreak
{
    std::uint32_t Number = 0;
    std::int64_t Start = 0;
    std::int64_t Duration = 0;

    std::int64_t End() const noexcept { return Start + Duration; }
    bool operator==(AdBreak const&) const = default;
};
} // namespace Application
