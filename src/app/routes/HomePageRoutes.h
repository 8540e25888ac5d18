// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "app/routing/RouteGroup.h"

namespace Application
{
class PlayerFiles;

// The home page, at the location's root and at "about": the build, a form of
// the query options (drawn from "options.json"), the manifest addresses it
// makes, players that play them on the page and a plot of what the player
// asked for (from "session"). And "player/<file>": the players and the chart
// library, read once at start-up from the folder beside the program
// (PlayerFiles); each is kept a day by browsers and revalidated by its
// entity tag. Without that folder the page still answers and says that no
// player is installed, and the console says so once.
class HomePageRoutes : public RouteGroup
{
public:
    HomePageRoutes(ServerContext& Context, RouteTable& Table);

    // The page with its style and script in place, "$(Build)" as the about
    // page had it, and whether the players are there.
    static std::string PageText(bool PlayersInstalled);

private:
    static void AddPlayerRoutes(RouteTable& Table, PlayerFiles const& Files);
};
} // namespace Application
