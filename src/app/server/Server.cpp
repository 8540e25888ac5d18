// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/server/Server.h"

#include <boost/asio/ip/address.hpp>
#include <boost/asio/post.hpp>

#include "app/routing/BasePath.h"
#include "app/context/Console.h"
#include "app/server/RouteGroups.h"
#include "base/StringFormat.h"
#include "presentation/Clock.h"
#include "presentation/RedisAssetStore.h"

namespace Application
{
namespace
{
// Start of segment 0 of live timelines: now minus 10 s, in 100-ns units
// since 1601-01-01.
std::int64_t ComputeBaseLiveTime()
{
    auto const SinceUnixEpoch = std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>>(
        std::chrono::system_clock::now().time_since_epoch());
    return UnixEpochAbsoluteTime + SinceUnixEpoch.count() - 100'000'000;
}
} // namespace

Server::Server(Application::Settings const& Settings, std::filesystem::path ModuleDirectory, HttpServer::Limits const& Bounds) :
    m_Bounds(Bounds), m_Context{Settings, std::move(ModuleDirectory), ComputeBaseLiveTime(), nullptr}
{
}

Server::~Server()
{
    // Route groups and the media work wait for their tasks; the I/O context
    // has no work left.
    m_RouteGroups.clear();
    m_Media.reset();
    m_Locations.reset();
}

void Server::Run(ManualResetEvent& Termination, std::function<void()> const& Serving)
{
    auto const& Locations = m_Context.Settings.Locations;
    ConsoleLine("Web Server Locations: %s", Join(Locations, ", ").c_str());
    std::vector<std::string> BasePaths;
    for(auto const& Location : Locations)
        BasePaths.push_back(ComputeBasePath(Location));
    PrepareResponseFolder();
    ConnectAssetStore();
    m_Media = std::make_unique<MediaWork>(m_Context);
    m_RouteGroups = CreateRouteGroups(m_Context, m_Routes, *m_Media);
    m_Router = std::make_unique<RequestRouter>(std::move(BasePaths), m_Routes, m_Context);
    ConsoleLine("Press Ctrl+C to exit...");
    m_Locations = std::make_unique<HttpServer::Locations>(
        m_IoContext, m_Bounds, [this](auto const& Request, auto const& Response) { m_Router->Answer(Request, Response); },
        [Metrics = m_Context.Metrics](std::size_t Open) { Metrics->Set(ServerMetrics::Gauge::ConnectionsOpen, static_cast<std::int64_t>(Open)); });
    std::vector<boost::asio::ip::address> Proxies;
    for(auto const& Proxy : m_Context.Settings.TrustedProxies)
        Proxies.push_back(boost::asio::ip::make_address(Proxy));
    m_Locations->TrustProxies(std::move(Proxies));
    for(auto const& Location : Locations)
        m_Locations->AddUrl(Location);
    ConsoleLine("Waiting for Request...");
    if(Serving)
        Serving();
    auto const Subscription = Termination.Subscribe([this] { boost::asio::post(m_IoContext, [this] { Stop(); }); });
    // Returns when the locations are closed and the last answer is out:
    // responses held by tasks keep the loop running until they complete.
    m_IoContext.run();
}

void Server::Stop()
{
    m_Locations->Close();
    for(auto const& Group : m_RouteGroups)
        Group->Stop();
    m_Media->Stop();
}

void Server::ConnectAssetStore()
{
    auto const& Address = m_Context.Settings.AssetStore;
    if(Address.empty())
        return;
    auto Store = std::make_shared<RedisAssetStore>(Address);
    // Live segments of one number are the same on every instance only if
    // all count from one start. Joining waits while a new generation of the
    // store settles (RedisAssetStore::SettleTime), before any request.
    m_Context.BaseLiveTime = Store->Join(m_Context.BaseLiveTime);
    m_Context.Assets = std::move(Store);
    ConsoleLine("Asset Store: %s", Address.c_str());
}

void Server::PrepareResponseFolder()
{
    if(!m_Context.Settings.WriteResponseBody)
        return;
    auto const Directory = m_Context.ModuleDirectory / "Response";
    std::error_code Error;
    if(!std::filesystem::is_directory(Directory, Error))
    {
        std::filesystem::create_directories(Directory, Error);
        if(Error)
            throw HResultError(HResultFromErrno(Error.value()), StringFormat("Cannot create %s: %s", Directory.c_str(), Error.message().c_str()));
    }
    m_Context.PayloadWriter = std::make_shared<DefaultPayloadWriteAgent>(Directory);
}
} // namespace Application
