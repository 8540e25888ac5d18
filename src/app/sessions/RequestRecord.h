// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "app/sessions/CmcdData.h"

namespace Application
{
// What a request asked for, as the request log names it.
enum class RequestTrack : std::uint8_t
{
    Other,
    Video,
    Audio,
    Playlist,
    Manifest,
    Key,
    Text,
};

// Where a media answer's bytes came from.
enum class CacheOutcome : std::uint8_t
{
    None,        // not a media answer
    Hit,         // the segment cache
    Joined,      // a production in progress
    Made,        // a production started for this request
    Revalidated, // 304: the client's copy is current
};

// One request as the request log learns of it on its way: begun by the
// RequestRouter (arrival, route, CMCD), filled by the route table (the
// asset) and the routes that know more (track, numbers, cache, fault), and
// committed to the log when its answer has gone out. Shared between the
// route context and the answer's observer; used on the I/O thread only.
struct RequestRecord
{
    std::chrono::steady_clock::time_point Arrival;
    // Microseconds since 1970-01-01 UTC.
    std::int64_t ArrivalTime = 0;
    std::string Route;
    // The valid asset the request names (or the one a manifest made):
    // only such requests are logged.
    std::optional<std::uint32_t> Asset;
    RequestTrack Track = RequestTrack::Other;
    std::optional<std::uint32_t> Variant;
    std::optional<std::uint32_t> Segment;
    std::optional<std::uint32_t> Part;
    CacheOutcome Cache = CacheOutcome::None;
    // The kind of the fault that fired ("fail", "delay"...); empty: none.
    std::string Fault;
    // The pathway of content steering the request came by (a steering
    // request: the one the player says it is on); empty: none.
    std::string Pathway;
    CmcdData Cmcd;
};
} // namespace Application
