// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/SurroundSpeakers.h"

#include <iterator>

namespace Application
{
namespace
{
struct Speaker
{
    std::uint32_t Channel;
    std::string_view Name;
};

constexpr Speaker Round[] = {
    {0, "front left"}, {2, "centre"}, {1, "front right"}, {5, "surround right"}, {4, "surround left"}, {SurroundSpeakers::LfeChannel, "LFE"},
};

Speaker const& At(std::int64_t Second) noexcept
{
    auto const Count = static_cast<std::int64_t>(std::size(Round));
    return Round[((Second % Count) + Count) % Count];
}
} // namespace

std::uint32_t SurroundSpeakers::Sounding(std::int64_t Second) noexcept
{
    return At(Second).Channel;
}

std::string_view SurroundSpeakers::Name(std::int64_t Second) noexcept
{
    return At(Second).Name;
}
} // namespace Application
