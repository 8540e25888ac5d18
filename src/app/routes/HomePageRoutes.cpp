// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routes/HomePageRoutes.h"

#include "app/answers/EntityTagOf.h"
#include "app/answers/WholeAnswer.h"
#include "app/context/Console.h"
#include "app/routes/PlayerFiles.h"
#include "app/routes/Resources.h"
#include "base/BuildInfo.h"
#include "base/StringFormat.h"
#include "presentation/XmlText.h"

namespace Application
{
namespace
{
// Browsers keep a player a day and ask again with its entity tag.
constexpr char PlayerCacheControl[] = "public, max-age=86400";
// The page names the build, which changes only with the program.
constexpr char PageCacheControl[] = "no-cache";

} // namespace

HomePageRoutes::HomePageRoutes(ServerContext& Context, RouteTable& Table)
{
    bool Installed = false;
    if(auto const Folder = PlayerFiles::FindFolder(Context.ModuleDirectory))
    {
        try
        {
            auto const Files = PlayerFiles::Read(*Folder);
            AddPlayerRoutes(Table, Files);
            Installed = !Files.GetFiles().empty();
            if(!Installed)
                ConsoleLine("The player folder %s is empty: the home page plays nothing", Folder->c_str());
        }
        catch(std::exception const& Error)
        {
            // The rest of the server does not need the players.
            ConsoleLine("The player folder %s is not used: %s", Folder->c_str(), Error.what());
        }
    }
    else
        ConsoleLine("Players are not installed (no %s/player): the home page plays nothing; scripts/setup and scripts/build install them",
                    Context.ModuleDirectory.c_str());
    auto const Text = PageText(Installed);
    auto Page = std::make_shared<std::vector<std::uint8_t> const>(Text.begin(), Text.end());
    auto const Answer = [Page, Tag = EntityTagOf(Text)](RouteContext& Route) {
        WholeAnswer{.ContentType = "text/html; charset=utf-8", .CacheControl = PageCacheControl, .Tagged = true}.Send(Route, Page, Tag);
    };
    Table.AddRoute("", Answer);
    Table.AddRoute("about", Answer);
}

void HomePageRoutes::AddPlayerRoutes(RouteTable& Table, PlayerFiles const& Files)
{
    for(auto const& File : Files.GetFiles())
        Table.AddRoute("player/" + File.Name, [Bytes = File.Bytes, Tag = File.EntityTag, Type = File.ContentType](RouteContext& Route) {
            WholeAnswer{.ContentType = Type, .CrossOrigin = true, .CacheControl = PlayerCacheControl, .Tagged = true}.Send(Route, Bytes, Tag);
        });
}

std::string HomePageRoutes::PageText(bool PlayersInstalled)
{
    auto const Information = BuildInfo::Read();
    std::string Build = "Not Available";
    if(!Information.GitLog.empty())
        Build = Information.GitLog.substr(0, Information.GitLog.find('\n')) + "; " + Information.Configuration;
    // The build first: the style and the script are inserted last, so that
    // nothing in them is taken for a placeholder.
    return ReplacePlaceholders(std::string(Resources::HomePage()), {{"Build", EscapeXmlText(Build)},
                                                                    {"Players", PlayersInstalled ? "installed" : "missing"},
                                                                    {"Style", std::string(Resources::HomePageStyle())},
                                                                    {"Script", std::string(Resources::HomePageScript())}});
}
} // namespace Application
