// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "presentation/AdBreak.h"
#include "presentation/Configuration.h"
#include "presentation/DashPeriod.h"

namespace Application
{
// One period of a static MPD. Without breaks the MPD is the three fixed
// periods, whose media requests name them ("period", "color"). With breaks
// it covers the asset's duration, cut at every break boundary: content
// periods whose media time runs on from the start (presentation time offset
// = their start), and for each break either a content period of its own or,
// with "ads", one period per ad on the ad's own timeline from 0.
struct DashPeriodPlan
{
    DashPeriod Period;
    bool Fixed = false;
    // The break that begins with this period (its event goes here).
    std::optional<AdBreak> Opens;
    // An ad period: ad Ad of break Break.
    std::uint32_t Break = 0;
    std::uint32_t Ad = 0;

    static std::vector<DashPeriodPlan> ForAsset(Configuration const& Asset);
};
} // namespace Application
