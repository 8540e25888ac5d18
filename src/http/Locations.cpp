// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/Locations.h"

#include <boost/asio/ip/tcp.hpp>

#include "base/HResultError.h"
#include "base/StringFormat.h"
#include "http/Connection.h"
#include "http/ErrorCodeStatus.h"
#include "http/Listener.h"

namespace HttpServer
{
namespace ip = boost::asio::ip;

namespace
{
std::vector<ip::tcp::endpoint> ResolveEndpoints(boost::asio::io_context& IoContext, Location const& Target)
{
    if(Target.IsWildcard())
        return {ip::tcp::endpoint(ip::address_v6::any(), Target.Port)};
    boost::system::error_code Error;
    auto const Address = ip::make_address(Target.Host, Error);
    if(!Error)
        return {ip::tcp::endpoint(Address, Target.Port)};
    ip::tcp::resolver Resolver(IoContext);
    auto const Results = Resolver.resolve(Target.Host, std::to_string(Target.Port), ip::tcp::resolver::passive | ip::tcp::resolver::address_configured, Error);
    if(Error || Results.empty())
        throw HResultError(Error ? HResultFromErrorCode(Error) : HResultFromErrno(EADDRNOTAVAIL), StringFormat("Cannot resolve host %s: %s", Target.Host.c_str(), Error ? Error.message().c_str() : "no address"));
    std::vector<ip::tcp::endpoint> Endpoints;
    for(auto const& Entry : Results)
        if(std::find(Endpoints.begin(), Endpoints.end(), Entry.endpoint()) == Endpoints.end())
            Endpoints.push_back(Entry.endpoint());
    return Endpoints;
}

bool IsWildcardEndpoint(ip::tcp::endpoint const& Endpoint)
{
    return Endpoint.address().is_unspecified();
}
} // namespace

Locations::Locations(boost::asio::io_context& IoContext, Limits const& Bounds, RequestHandler Handler, std::function<void(std::size_t Open)> Counted) :
    m_IoContext(IoContext), m_Set(std::make_shared<ConnectionSet>())
{
    m_Set->Bounds = Bounds;
    m_Set->Handler = std::move(Handler);
    m_Set->Counted = std::move(Counted);
}

Locations::~Locations()
{
    for(auto const& Item : m_Listeners)
        Item->Close();
}

void Locations::AddUrl(std::string const& Url)
{
    Location const Target = Location::Parse(Url);
    for(auto const& Endpoint : ResolveEndpoints(m_IoContext, Target))
        Bind(Endpoint);
}

void Locations::Bind(ip::tcp::endpoint const& Endpoint)
{
    // A port bound on every address already serves any address of it, and
    // binding every address replaces the narrower listeners of that port.
    for(auto const& Item : m_Listeners)
    {
        auto const Bound = Item->GetEndpoint();
        if(Bound == Endpoint || (Bound.port() == Endpoint.port() && IsWildcardEndpoint(Bound)))
            return;
    }
    if(IsWildcardEndpoint(Endpoint))
    {
        std::erase_if(m_Listeners, [&](auto const& Item) {
            bool const SamePort = Item->GetEndpoint().port() == Endpoint.port();
            if(SamePort)
                Item->Close();
            return SamePort;
        });
    }
    std::shared_ptr<Listener> Created;
    try
    {
        Created = std::make_shared<Listener>(m_IoContext, Endpoint, m_Set);
    }
    catch(HResultError const&)
    {
        if(!Endpoint.address().is_v6() || !IsWildcardEndpoint(Endpoint))
            throw;
        // A machine without IPv6 still serves every IPv4 address.
        Created = std::make_shared<Listener>(m_IoContext, ip::tcp::endpoint(ip::address_v4::any(), Endpoint.port()), m_Set);
    }
    Created->Start();
    m_Listeners.push_back(std::move(Created));
}

std::vector<std::uint16_t> Locations::GetPorts() const
{
    std::vector<std::uint16_t> Ports;
    for(auto const& Item : m_Listeners)
        Ports.push_back(Item->GetEndpoint().port());
    return Ports;
}

void Locations::Close()
{
    m_Set->Stopping = true;
    for(auto const& Item : m_Listeners)
        Item->Close();
    // Stop may end a connection and so remove it from the set.
    for(auto* Member : m_Set->GetMembers())
        if(m_Set->Contains(Member))
            Member->Stop();
}
} // namespace HttpServer
