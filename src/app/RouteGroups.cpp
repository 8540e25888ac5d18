#include "app/RouteGroup.h"

#include "app/PresentationRoutes.h"
#include "app/TextRoutes.h"

namespace Application
{
std::vector<std::unique_ptr<RouteGroup>> CreateRouteGroups(ServerContext& Context, RouteTable& Table)
{
    std::vector<std::unique_ptr<RouteGroup>> Groups;
    Groups.push_back(std::make_unique<TextRoutes>(Context, Table));
    Groups.push_back(std::make_unique<PresentationRoutes>(Context, Table));
    return Groups;
}
} // namespace Application
