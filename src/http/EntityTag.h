// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string_view>

namespace HttpServer
{
// Comparisons of entity tags ("\"abc\"", weak ones "W/\"abc\"") with the
// fields of conditional requests (RFC 9110 section 13).
struct EntityTag
{
    // "If-None-Match": "*" or a list of tags, compared weakly; true when the
    // client's copy is current (answer 304). An empty field never matches.
    static bool NoneMatchHolds(std::string_view Field, std::string_view Tag);
    // "If-Range": true when the range may be served, that is without the
    // field or when it names Tag itself (strong comparison). A date, or a
    // weak tag, never matches: the whole body is sent.
    static bool RangeHolds(std::string_view Field, std::string_view Tag);
};
} // namespace HttpServer
