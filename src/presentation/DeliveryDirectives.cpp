// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/DeliveryDirectives.h"

#include <limits>
#include <string>

#include "base/Check.h"
#include "base/FailureCodes.h"

namespace Application
{
namespace
{
std::optional<std::string_view> Value(QueryVector const& Query, std::string_view Name)
{
    for(auto const& [Key, Text] : Query)
        if(Key == Name)
            return std::string_view(Text);
    return std::nullopt;
}

[[noreturn]] void Refuse(std::string const& Message)
{
    ThrowCheckFailure(FailureCode::DeliveryDirectiveInvalid, TRACE_CONTEXT(), "DeliveryDirectives::FromQuery(Query)", Message);
}

// A decimal-integer of the playlist format: digits only. Segment and part
// numbers here are 32-bit; a larger one names nothing that can exist.
std::uint32_t Number(std::string_view Name, std::string_view Text)
{
    if(Text.empty() || Text.size() > 10)
        Refuse("Invalid \"" + std::string(Name) + "\": expected a decimal integer");
    std::uint64_t Result = 0;
    for(char Character : Text)
    {
        if(Character < '0' || Character > '9')
            Refuse("Invalid \"" + std::string(Name) + "\": expected a decimal integer");
        Result = Result * 10 + static_cast<std::uint64_t>(Character - '0');
    }
    if(Result > std::numeric_limits<std::uint32_t>::max())
        Refuse("Invalid \"" + std::string(Name) + "\": beyond every segment number");
    return static_cast<std::uint32_t>(Result);
}
} // namespace

DeliveryDirectives DeliveryDirectives::FromQuery(QueryVector const& Query)
{
    DeliveryDirectives Directives;
    if(auto const Text = Value(Query, MsnKey))
        Directives.Msn = Number(MsnKey, *Text);
    if(auto const Text = Value(Query, PartKey))
    {
        if(!Directives.Msn)
            Refuse("\"_HLS_part\" without \"_HLS_msn\"");
        Directives.Part = Number(PartKey, *Text);
    }
    if(auto const Text = Value(Query, SkipKey))
    {
        if(*Text == "YES")
            Directives.Skip = PlaylistSkip::Segments;
        else if(*Text == "v2")
            Directives.Skip = PlaylistSkip::SegmentsAndDateRanges;
        else
            Refuse("Invalid \"_HLS_skip\": expected YES or v2");
    }
    return Directives;
}
} // namespace Application
