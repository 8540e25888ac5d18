// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "app/context/DefaultPayloadWriteAgent.h"
#include "app/metrics/ServerMetrics.h"
#include "app/sessions/RequestLog.h"
#include "presentation/AssetStore.h"
#include "app/context/Settings.h"

namespace Application
{
// What every route group may use, for the whole run of the server. Owned by
// the server; route groups keep a reference.
struct ServerContext
{
    Application::Settings const& Settings;
    // The folder of the program file.
    std::filesystem::path ModuleDirectory;
    // Start of segment 0 of every live timeline: the start of the server
    // minus 10 s, in 100-ns units since 1601-01-01 UTC.
    std::int64_t BaseLiveTime = 0;
    // Present with -WriteResponseBody.
    std::shared_ptr<DefaultPayloadWriteAgent> PayloadWriter;
    // What the "metrics" route reports.
    std::shared_ptr<ServerMetrics> Metrics = std::make_shared<ServerMetrics>();
    // With -AssetStore: where assets are shared with other instances.
    std::shared_ptr<AssetStore> Assets;
    // The last requests of each asset ("session" route); null: none are logged.
    std::shared_ptr<RequestLog> Requests = std::make_shared<RequestLog>(Metrics);
};
} // namespace Application
