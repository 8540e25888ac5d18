// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/ThumbnailLayout.h"

#include <algorithm>

#include "base/MediaTime.h"
#include "base/StringFormat.h"
#include "presentation/OptionTable.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
// One number of the value, 1 to Maximal.
std::uint32_t Part(std::string_view Value, std::string_view Text, std::uint32_t Maximal)
{
    auto const Number = ParseDecimal(Text, Maximal);
    if(!Number || *Number < 1)
        OptionTable::Get("thumbs").Refuse(Value);
    return static_cast<std::uint32_t>(*Number);
}
} // namespace

ThumbnailLayout ThumbnailLayout::Parse(std::string_view Value)
{
    ThumbnailLayout Layout;
    std::string_view Grid = Value;
    if(auto const At = Value.find('@'); At != std::string_view::npos)
    {
        Grid = Value.substr(0, At);
        Layout.Interval = std::int64_t{Part(Value, Value.substr(At + 1), MaximalSeconds)} * TimeUnitsPerSecond;
    }
    if(!Grid.empty())
    {
        auto const Times = Grid.find('x');
        if(Times == std::string_view::npos)
            OptionTable::Get("thumbs").Refuse(Value);
        Layout.Columns = Part(Value, Grid.substr(0, Times), MaximalColumns);
        Layout.Rows = Part(Value, Grid.substr(Times + 1), MaximalRows);
    }
    return Layout;
}

std::string ThumbnailLayout::GridText() const
{
    return StringFormat("%ux%u", Columns, Rows);
}

std::uint32_t ThumbnailLayout::ThumbnailHeight(std::uint32_t Width, std::uint32_t Height) noexcept
{
    if(Width == 0)
        return 2;
    // Rounded to the nearest even number, 2 at least.
    std::uint64_t const Pairs = (std::uint64_t{ThumbnailWidth} * Height + Width) / (2 * std::uint64_t{Width});
    return static_cast<std::uint32_t>(std::max<std::uint64_t>(Pairs, 1) * 2);
}
} // namespace Application
