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
} // namespace Application
