// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/DeliveryDirectives.h"

#include <string>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "presentation/OptionTable.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
[[noreturn]] void Refuse(std::string const& Message)
{
    ThrowCheckFailure(FailureCode::DeliveryDirectiveInvalid, TRACE_CONTEXT(), "DeliveryDirectives::FromQuery(Query)", Message);
}

// A decimal-integer of the playlist format: digits only. Segment and part
// numbers here are 32-bit (the rows' maximum); a larger one names nothing
// that can exist.
std::optional<std::uint32_t> Number(QueryVector const& Query, std::string_view Name)
{
    auto const Value = QueryInteger(Query, Name);
    if(!Value)
        return std::nullopt;
    return static_cast<std::uint32_t>(*Value);
}
} // namespace

DeliveryDirectives DeliveryDirectives::FromQuery(QueryVector const& Query)
{
    DeliveryDirectives Directives;
    Directives.Msn = Number(Query, MsnKey);
    if(FindOption(Query, PartKey))
    {
        if(!Directives.Msn)
            Refuse("\"_HLS_part\" without \"_HLS_msn\"");
        Directives.Part = Number(Query, PartKey);
    }
    if(auto const Skip = QueryChoice(Query, OptionTable::Get(SkipKey)))
        Directives.Skip = *Skip == "YES" ? PlaylistSkip::Segments : PlaylistSkip::SegmentsAndDateRanges;
    return Directives;
}
} // namespace Application
