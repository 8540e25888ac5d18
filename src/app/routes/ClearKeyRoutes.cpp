// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routes/ClearKeyRoutes.h"

#include "app/routing/RouteAddress.h"
#include "app/answers/WholeAnswer.h"
#include "base/StringFormat.h"
#include "presentation/ClearKeyLicence.h"

namespace Application
{
ClearKeyRoutes::ClearKeyRoutes(ServerContext&, RouteTable& Table)
{
    Table.AddAssetPostRoute(Path, [](RouteContext& Request) { Licence(Request); });
}

void ClearKeyRoutes::Licence(RouteContext& Context)
{
    WholeAnswer{"application/json", true, "clearkey.json"}.Send(Context, ClearKeyLicence::Answer(*Context.Asset, Context.Request.GetBody()));
}

std::string ClearKeyRoutes::LicenceUrl(RouteContext const& Context, std::uint32_t Asset)
{
    return RouteAddress(Context, Path) + StringFormat("?asset=%u", Asset);
}
} // namespace Application
