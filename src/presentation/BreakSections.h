// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "presentation/AdBreak.h"
#include "presentation/Configuration.h"

namespace Application
{
// The SCTE-35 splice_info_sections that signal an asset's breaks, in the
// command its "scte" names: the one at a break's start (out of the network)
// and the one at its end (back in). The event ID is the break's number; the
// splice time its start or end on the media timeline.
class BreakSections
{
public:
    static std::vector<std::uint8_t> Out(Configuration const& Asset, AdBreak const& Break);
    static std::vector<std::uint8_t> In(Configuration const& Asset, AdBreak const& Break);
};
} // namespace Application
