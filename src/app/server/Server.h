// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <utility>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>

#include "app/context/ServerContext.h"
#include "app/production/MediaWork.h"
#include "app/routing/RequestRouter.h"
#include "app/routing/RouteGroup.h"
#include "app/routing/RouteTable.h"
#include "app/server/ManualResetEvent.h"
#include "base/HResultError.h"
#include "http/Limits.h"
#include "http/Locations.h"

namespace Application
{
// The request loop: binds the locations, answers requests on the calling
// thread until the termination event is set, then shuts down in order.
class Server
{
public:
    Server(Application::Settings const& Settings, std::filesystem::path ModuleDirectory, HttpServer::Limits const& Bounds = {});
    ~Server();
    Server(Server const&) = delete;
    Server& operator=(Server const&) = delete;

    // Prints the start-up lines, binds every location (a location that
    // cannot be bound raises before "Waiting for Request..."), serves until
    // Termination is set, and returns once every answer in progress is out.
    // Serving, when given, is called once every location is bound (a
    // service reports readiness there).
    void Run(ManualResetEvent& Termination, std::function<void()> const& Serving = {});

private:
    // On the I/O thread: stops accepting, ends idle connections and drops
    // the media work that has not started.
    void Stop();
    void PrepareResponseFolder();
    // With -AssetStore: connects, joins the store's generation and takes
    // the shared live time base.
    void ConnectAssetStore();

    HttpServer::Limits m_Bounds;
    ServerContext m_Context;
    // Declared before what holds responses: it must outlive them.
    boost::asio::io_context m_IoContext{1};
    std::unique_ptr<HttpServer::Locations> m_Locations;
    RouteTable m_Routes;
    // Outlives the route groups, which use it; its destructor waits for the media tasks.
    std::unique_ptr<MediaWork> m_Media;
    std::vector<std::unique_ptr<RouteGroup>> m_RouteGroups;
    std::unique_ptr<RequestRouter> m_Router;
};
} // namespace Application
