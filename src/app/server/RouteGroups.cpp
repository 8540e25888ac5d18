// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/server/RouteGroups.h"

#include "app/routes/ClearKeyRoutes.h"
#include "app/routes/HomePageRoutes.h"
#include "app/routes/MediaRoutes.h"
#include "app/routes/MetricsRoutes.h"
#include "app/routes/SessionRoutes.h"
#include "app/routes/SteeringRoutes.h"
#include "app/routes/SubtitleRoutes.h"
#include "app/routes/PresentationRoutes.h"
#include "app/routes/TestPageRoutes.h"
#include "app/routes/TextRoutes.h"
#include "app/routes/ThumbnailRoutes.h"

namespace Application
{
std::vector<std::unique_ptr<RouteGroup>> CreateRouteGroups(ServerContext& Context, RouteTable& Table, MediaWork& Work)
{
    std::vector<std::unique_ptr<RouteGroup>> Groups;
    // Manifests name their audio row's codecs, learned by encoding.
    auto AudioCodecs = [&Probe = Work.GetCodecsProbe()](AudioVariant& Variant) { Variant.Codecs = Probe.ProbeAudio(Variant); };
    Groups.push_back(std::make_unique<TextRoutes>(Context, Table));
    Groups.push_back(std::make_unique<HomePageRoutes>(Context, Table));
    Groups.push_back(std::make_unique<PresentationRoutes>(Context, Table, std::move(AudioCodecs)));
    Groups.push_back(std::make_unique<ClearKeyRoutes>(Context, Table));
    Groups.push_back(std::make_unique<SteeringRoutes>(Context, Table));
    Groups.push_back(std::make_unique<TestPageRoutes>(Context, Table, Work));
    Groups.push_back(std::make_unique<MetricsRoutes>(Context, Table));
    Groups.push_back(std::make_unique<SessionRoutes>(Context, Table));
    Groups.push_back(std::make_unique<MediaRoutes>(Context, Table, Work));
    Groups.push_back(std::make_unique<SubtitleRoutes>(Context, Table));
    Groups.push_back(std::make_unique<ThumbnailRoutes>(Context, Table, Work));
    return Groups;
}
} // namespace Application
