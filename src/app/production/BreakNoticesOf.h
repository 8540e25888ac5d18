// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "media/BreakNotice.h"
#include "presentation/Configuration.h"

namespace Application
{
// The ad breaks whose countdown or duration pictures of [Start, End) of the
// asset's timeline show (BreakMoment); none without breaks.
std::vector<BreakNotice> BreakNoticesOf(Configuration const& Asset, std::int64_t Start, std::int64_t End);
} // namespace Application
