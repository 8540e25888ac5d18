// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/QueryStringNameValue.h"
#include "presentation/Clock.h"

namespace Application
{
// The one clock reading of a request. The query key "now" replaces the
// clock, so that a test can step a live presentation through time and get
// the same bytes for the same URL every time. Accepted values:
//   - milliseconds since 1970-01-01T00:00:00Z, 1 to 15 decimal digits;
//   - a UTC time "YYYY-MM-DDTHH:MM:SSZ", optionally with 1 to 9 fraction
//     digits before the "Z" (kept to 100 ns, further digits dropped).
// Both name times from 1970-01-01 to 9999-12-31T23:59:59.9999999Z. Anything
// else raises FailureCode::NowInvalid.
class RequestTime
{
public:
    static constexpr std::string_view QueryKey = "now";

    // The absolute time a "now" value names, or nothing when it is not one.
    static std::optional<std::int64_t> Parse(std::string_view Text);
    // The UTC form alone.
    static std::optional<std::int64_t> ParseUtc(std::string_view Text);
    // The "now" of the query: nothing when absent, FailureCode::NowInvalid
    // when malformed.
    static std::optional<std::int64_t> FromQuery(QueryVector const& Query);
    // "now" when given, else the clock.
    static std::int64_t Read(QueryVector const& Query, Clock const& Now);
};
} // namespace Application
