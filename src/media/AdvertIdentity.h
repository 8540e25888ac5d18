// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

namespace Application
{
// Which ad of a break a picture belongs to: ad Number (from 1) of Count.
struct AdvertIdentity
{
    std::uint32_t Number = 0;
    std::uint32_t Count = 0;

    bool operator==(AdvertIdentity const&) const = default;
};
} // namespace Application
