// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/ClearKeyRoutes.h"

#include "app/WholeAnswer.h"
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
    std::string_view Authority = Context.Request.GetHeader("Host");
    if(Authority.empty())
    {
        // "http://" host ":" port, then the path.
        std::string_view const FullUrl = Context.Request.GetFullUrl();
        Authority = FullUrl.substr(7, FullUrl.find('/', 7) - 7);
    }
    // The path of the request ends with the route's own path; the rest is the location's.
    std::string_view const AbsolutePath = Context.Request.GetAbsPath();
    std::string_view const Location = AbsolutePath.substr(0, AbsolutePath.size() - Context.Path.size());
    return StringFormat("http://%.*s%.*s%s?asset=%u", static_cast<int>(Authority.size()), Authority.data(), static_cast<int>(Location.size()), Location.data(),
                        Path, Asset);
}
} // namespace Application
