// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/SegmentIndex.h"

#include "presentation/QueryNumbers.h"

namespace Application
{
std::optional<std::uint32_t> SegmentIndexFromQuery(QueryVector const& Query)
{
    auto const Index = QueryInteger(Query, "index");
    if(!Index)
        return std::nullopt;
    auto const BaseIndex = QueryInteger(Query, "baseIndex").value_or(0);
    return static_cast<std::uint32_t>(*Index) - static_cast<std::uint32_t>(BaseIndex);
}

std::optional<std::uint32_t> ResponseFileSegmentNumber(QueryVector const& Query)
{
    auto const Index = QueryInteger(Query, "index");
    if(!Index)
        return std::nullopt;
    if(QueryFlag(Query, "baseIndex"))
        return static_cast<std::uint32_t>(*Index);
    return static_cast<std::uint32_t>(*Index) + 1;
}
} // namespace Application
