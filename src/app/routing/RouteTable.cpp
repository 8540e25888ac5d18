// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routing/RouteTable.h"

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "base/Trace.h"
#include "presentation/Configuration.h"
#include "presentation/QueryNumbers.h"
#include "presentation/RequestTime.h"
#include "presentation/SteeringSettings.h"

namespace Application
{
namespace
{
// Until assets exist, every asset is unknown.
void FindNoAsset(RouteContext& Context, RouteTable::AssetFound const&)
{
    CHECK_CONDITION(FindOption(Context.QueryVector, "asset"), FailureCode::AssetMissing);
    ThrowCheckFailure(FailureCode::AssetUnknown, TRACE_CONTEXT(), "Asset");
}
} // namespace

RouteTable::RouteTable() : m_AssetFinder(FindNoAsset)
{
}

void RouteTable::AddRoute(std::string Path, Handler Callback)
{
    ASSERT(!m_AssetRoutes.contains(Path));
    m_Routes.insert_or_assign(std::move(Path), std::move(Callback));
}

void RouteTable::AddAssetRoute(std::string Path, Handler Callback)
{
    ASSERT(!m_Routes.contains(Path));
    m_AssetRoutes.insert_or_assign(std::move(Path), std::move(Callback));
}

void RouteTable::AddAssetPostRoute(std::string Path, Handler Callback)
{
    m_AssetPostRoutes.insert_or_assign(std::move(Path), std::move(Callback));
}

void RouteTable::SetAssetFinder(AssetFinder Finder)
{
    ASSERT(Finder);
    m_AssetFinder = std::move(Finder);
}

void RouteTable::Dispatch(RouteContext& Context) const
{
    // Every request may say what time it is; one that says it wrongly is
    // refused whatever its route, so a test's typo never passes for the clock.
    Context.GivenTime = RequestTime::FromQuery(Context.QueryVector);
    if(auto const Found = m_Routes.find(Context.Path); Found != m_Routes.end())
    {
        Found->second(Context);
        return;
    }
    m_AssetFinder(Context, [this, &Context](Configuration& Asset) {
        EnterAsset(Context, Asset);
        DispatchAssetRoute(Context);
    });
}

void RouteTable::EnterAsset(RouteContext& Context, Configuration& Asset)
{
    Context.Asset = &Asset;
    if(Context.Record)
        Context.Record->Asset = Asset.Asset;
    // A pathway is one of the asset's, whichever route the request takes.
    Context.Pathway = RequestPathway(Context.QueryVector, Asset);
}

void RouteTable::NotePathway(RouteContext& Context)
{
    if(Context.Pathway.empty())
        return;
    if(Context.Record)
        Context.Record->Pathway = Context.Pathway;
    // Counted by route once the route is known: paths are the clients' to choose.
    Context.Server.Metrics->CountPathwayRequest(Context.Pathway, Context.Path);
    TRACE("Asset %u: %.*s by pathway %s\n", Context.Asset->Asset, static_cast<int>(Context.Path.size()), Context.Path.data(), Context.Pathway.c_str());
}

void RouteTable::DispatchAssetRoute(RouteContext& Context) const
{
    auto const Found = m_AssetRoutes.find(Context.Path);
    if(Found == m_AssetRoutes.end())
        ThrowCheckFailure(FailureCode::UnexpectedPath, TRACE_CONTEXT(), "AssetRoute",
                          StringFormat("Unexpected HTTP request path, Request->AbsPath %.*s", static_cast<int>(Context.Path.size()), Context.Path.data()));
    NotePathway(Context);
    Found->second(Context);
}

bool RouteTable::HasPath(std::string_view Path) const
{
    return m_Routes.contains(Path) || m_AssetRoutes.contains(Path) || m_AssetPostRoutes.contains(Path);
}

bool RouteTable::HasPostRoute(std::string_view Path) const
{
    return m_AssetPostRoutes.contains(Path);
}

void RouteTable::DispatchPost(RouteContext& Context) const
{
    auto const Found = m_AssetPostRoutes.find(Context.Path);
    ASSERT(Found != m_AssetPostRoutes.end());
    m_AssetFinder(Context, [&Context, &Handler = Found->second](Configuration& Asset) {
        EnterAsset(Context, Asset);
        NotePathway(Context);
        Handler(Context);
    });
}
} // namespace Application
