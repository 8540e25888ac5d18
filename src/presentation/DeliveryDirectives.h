// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>

#include "base/QueryStringNameValue.h"

namespace Application
{
// What a delta update leaves out of a low-latency media playlist.
enum class PlaylistSkip
{
    None,
    Segments,               // "_HLS_skip=YES": the older segments
    SegmentsAndDateRanges,  // "_HLS_skip=v2": and the older date ranges
};

// The playlist delivery directives of a media playlist request (HLS,
// RFC 8216bis 6.2.5): "_HLS_msn" and "_HLS_part" ask the server to answer
// once the playlist holds that segment or part (blocking reload),
// "_HLS_skip" asks for a delta update.
struct DeliveryDirectives
{
    static constexpr char const* MsnKey = "_HLS_msn";
    static constexpr char const* PartKey = "_HLS_part";
    static constexpr char const* SkipKey = "_HLS_skip";

    std::optional<std::uint32_t> Msn;
    std::optional<std::uint32_t> Part;
    PlaylistSkip Skip = PlaylistSkip::None;

    // Raises FailureCode::DeliveryDirectiveInvalid for a value that is not a
    // decimal integer (or beyond 32 bits), a "_HLS_part" without "_HLS_msn"
    // and a "_HLS_skip" other than "YES" and "v2".
    static DeliveryDirectives FromQuery(QueryVector const& Query);
};
} // namespace Application
