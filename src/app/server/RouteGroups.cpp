// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routing/RouteGroup.h"

#include "app/routes/ClearKeyRoutes.h"
#include "app/faults/FaultGate.h"
#include "app/routes/MediaRoutes.h"
#include "app/routes/MetricsRoutes.h"
#include "app/routes/PresentationRoutes.h"
#include "app/routes/TestPageRoutes.h"
#include "app/routes/TextRoutes.h"

namespace Application
{
std::vector<std::unique_ptr<RouteGroup>> CreateRouteGroups(ServerContext& Context, RouteTable& Table)
{
    std::vector<std::unique_ptr<RouteGroup>> Groups;
    auto Media = std::make_unique<MediaRoutes>(Context, Table);
    // Manifests name their audio row's codecs; the media group learns them.
    auto AudioCodecs = [&Probe = Media->GetCodecsProbe()](AudioVariant& Variant) { Variant.Codecs = Probe.ProbeAudio(Variant); };
    Groups.push_back(std::make_unique<TextRoutes>(Context, Table));
    Groups.push_back(std::make_unique<PresentationRoutes>(Context, Table, std::move(AudioCodecs)));
    Groups.push_back(std::make_unique<ClearKeyRoutes>(Context, Table));
    Groups.push_back(std::make_unique<TestPageRoutes>(Context, Table, *Media));
    Groups.push_back(std::make_unique<MetricsRoutes>(Context, Table, *Media));
    Groups.push_back(std::move(Media));
    // Faults asked for by a manifest apply to every request of its asset.
    Table.SetAssetGate(&FaultGate::Answer);
    return Groups;
}
} // namespace Application
