// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routing/RouteAddress.h"

#include "base/StringFormat.h"

namespace Application
{
std::string RouteAddress(RouteContext const& Context, std::string_view RoutePath)
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
    return StringFormat("http://%.*s%.*s%.*s", static_cast<int>(Authority.size()), Authority.data(), static_cast<int>(Location.size()), Location.data(),
                        static_cast<int>(RoutePath.size()), RoutePath.data());
}
} // namespace Application
