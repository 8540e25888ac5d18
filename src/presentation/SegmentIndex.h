// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>

#include "base/QueryStringNameValue.h"

namespace Application
{
// The segment a media request asks for: "index" − "baseIndex" (0 when absent),
// taken as unsigned 32-bit; nothing when "index" is absent.
std::optional<std::uint32_t> SegmentIndexFromQuery(QueryVector const& Query);

// The number in the file name a saved media segment gets. HLS requests carry
// no "baseIndex" and their files are numbered from 1 (index + 1); DASH
// requests are numbered by their template number ("index" itself), which is
// what the manifest's "__media" pattern says, so the two always agree.
std::optional<std::uint32_t> ResponseFileSegmentNumber(QueryVector const& Query);
} // namespace Application
