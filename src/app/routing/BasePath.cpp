// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routing/BasePath.h"

#include "base/Check.h"
#include "base/FailureCodes.h"

namespace Application
{
std::string ComputeBasePath(std::string_view Location)
{
    std::size_t const PositionA = Location.find("//");
    CHECK_CONDITION(PositionA != Location.npos, FailureCode::LocationWithoutSchemeSeparator);
    std::size_t const PositionB = Location.find('/', PositionA + 2);
    CHECK_CONDITION(PositionB != Location.npos, FailureCode::LocationWithoutPath);
    return std::string(Location.substr(PositionB));
}

std::optional<std::string_view> RemoveBasePath(std::string_view Path, std::vector<std::string> const& BasePaths)
{
    for(auto const& BasePath : BasePaths)
        if(Path.starts_with(BasePath))
            return Path.substr(BasePath.size());
    return std::nullopt;
}

RoutePath RemovePathwayPrefix(std::string_view Path)
{
    constexpr std::string_view Prefix = "pathway/";
    if(!Path.starts_with(Prefix))
        return {Path, {}};
    auto const Slash = Path.find('/', Prefix.size());
    // "pathway/" alone, or an empty name: a path no route has.
    if(Slash == std::string_view::npos || Slash == Prefix.size())
        return {Path, {}};
    return {Path.substr(Slash + 1), Path.substr(Prefix.size(), Slash - Prefix.size())};
}
} // namespace Application
