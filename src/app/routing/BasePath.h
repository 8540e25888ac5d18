// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Application
{
// The path part of a location: from the first "/" after "//" to the end
// ("http://+:80/hls/" gives "/hls/"). Raises 0x80FF08BC without "//" and
// 0x80FF08BE without a "/" after the host part.
std::string ComputeBasePath(std::string_view Location);

// The path with the first base path it starts with removed (exact,
// case-sensitive), or nothing when it starts with none.
std::optional<std::string_view> RemoveBasePath(std::string_view Path, std::vector<std::string> const& BasePaths);

// A path after the base path, split into the route's path and the pathway
// of content steering its prefix "pathway/NAME/" names (DASH: BaseURLs
// cannot carry a query). Without such a prefix, the path and no pathway.
struct RoutePath
{
    std::string_view Route;
    std::string_view Pathway;
};
RoutePath RemovePathwayPrefix(std::string_view Path);
} // namespace Application
