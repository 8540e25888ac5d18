// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routes/SteeringRoutes.h"

#include <optional>
#include <string_view>

#include "app/answers/WholeAnswer.h"
#include "app/routing/RouteAddress.h"
#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "base/Trace.h"
#include "presentation/Clock.h"
#include "presentation/QueryNumbers.h"
#include "presentation/SteeringManifest.h"

namespace Application
{
SteeringRoutes::SteeringRoutes(ServerContext&, RouteTable& Table)
{
    Table.AddAssetRoute(Path, [](RouteContext& Request) { Steering(Request); });
}

void SteeringRoutes::Steering(RouteContext& Context)
{
    auto& Asset = *Context.Asset;
    if(!Asset.Steering)
        ThrowCheckFailure(FailureCode::PathwayUnknown, TRACE_CONTEXT(), "Asset.Steering",
                          StringFormat("Asset %u has no content steering: its manifest gave no \"steer\"", Asset.Asset));
    std::optional<std::string_view> Prefer;
    if(auto const* Pair = FindOption(Context.QueryVector, "prefer"))
    {
        Asset.Steering->Prefer(Pair->Value);
        Prefer = Pair->Value;
    }
    if(auto const Report = SteeringManifest::ReportOf(Context.QueryVector, Asset))
    {
        if(Context.Record)
            Context.Record->Pathway = Report->Pathway;
        TRACE("Asset %u: steering asked for on pathway %s at %llu bit/s\n", Asset.Asset, Report->Pathway.c_str(),
              static_cast<unsigned long long>(Report->Throughput.value_or(0)));
    }
    // Asked for again at each TTL, and different after a "prefer": never kept.
    WholeAnswer{"application/json", true, {}, false, "no-store"}.Send(
        Context, SteeringManifest::Write(Asset, Context.GivenTime.value_or(SystemAbsoluteTime()), Prefer, RouteAddress(Context, Path)));
}

std::string SteeringRoutes::ServerUrl(RouteContext const& Context, std::uint32_t Asset)
{
    return RouteAddress(Context, Path) + StringFormat("?asset=%u", Asset);
}
} // namespace Application
