// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
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
// with "ads", one period per ad on the ad's own timeline from 0. Changes
// mid-stream cut content periods too: a period's media time at its start is
// its start less the origin of the decode timeline then.
struct DashPeriodPlan
{
    DashPeriod Period;
    bool Fixed = false;
    // The break that begins with this period (its event goes here).
    std::optional<AdBreak> Opens;
    // An ad period: ad Ad of break Break.
    std::uint32_t Break = 0;
    std::uint32_t Ad = 0;
    // What the asset's changes mid-stream make of the period's media (each
    // change begins a period): its decode timeline's origin, codec, size, key.
    ChangeState Changes;

    // The static document's periods (a live asset's is the fixed three).
    static std::vector<DashPeriodPlan> ForAsset(Configuration const& Asset);
    // The periods of a live asset with ads or changes that overlap [From,
    // To) of its timeline: content from the end of the break (or the change)
    // before, the ads of each break, and the content after the last one.
    static std::vector<DashPeriodPlan> ForLive(Configuration const& Asset, std::int64_t From, std::int64_t To);
    // A name that stays the period's in every update of a dynamic document.
    std::string Id() const;

private:
    // Periods from Start to End, cut at the breaks and the changes.
    static std::vector<DashPeriodPlan> Cut(Configuration const& Asset, std::int64_t Start, std::int64_t End);
    // The content from Start to End (cut at the changes), the first period
    // opening Opens.
    static void AddContent(std::vector<DashPeriodPlan>& Plans, Configuration const& Asset, std::int64_t Start, std::int64_t End,
                           std::optional<AdBreak> Opens);
};
} // namespace Application
