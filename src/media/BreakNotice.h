// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

namespace Application
{
// An ad break as the pictures announce it: break Number (from 1) begins at
// Start and lasts Duration, both in 100-ns units of the variant's media time
// (the presentation times of its frames).
struct BreakNotice
{
    std::uint32_t Number = 0;
    std::int64_t Start = 0;
    std::int64_t Duration = 0;

    bool operator==(BreakNotice const&) const = default;
};
} // namespace Application
