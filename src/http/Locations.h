// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <utility>

#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include "http/ConnectionSet.h"
#include "http/Limits.h"
#include "http/Location.h"

namespace HttpServer
{
class Listener;

// The URL prefixes the server answers and the sockets behind them. Each
// location binds its port on its host ("+" and "*": every address, IPv6 and
// IPv4); several locations may share a port. Requests are handed to the
// handler on the thread that runs the I/O context, one connection's requests
// one after the other.
class Locations
{
public:
    // Counted, when given, is told the number of open connections each time it changes (on the I/O thread).
    Locations(boost::asio::io_context& IoContext, Limits const& Bounds, RequestHandler Handler, std::function<void(std::size_t Open)> Counted = {});
    ~Locations();
    Locations(Locations const&) = delete;
    Locations& operator=(Locations const&) = delete;

    // Connections from these peers count for the client their requests
    // name in X-Forwarded-For (ConnectionSet::Readdress). Call before AddUrl.
    void TrustProxies(std::vector<boost::asio::ip::address> Proxies) { m_Set->TrustedProxies = std::move(Proxies); }
    // Binds the location's port and starts accepting; raises the socket
    // error when it cannot be bound, or E_INVALIDARG for a malformed location.
    void AddUrl(std::string const& Url);
    // The ports bound, for locations that asked for a free port (0).
    std::vector<std::uint16_t> GetPorts() const;
    // The connections open now. Call on the I/O thread.
    std::size_t GetConnectionCount() const noexcept { return m_Set->Size(); }
    // The refused sockets lingering before they close. Call on the I/O thread.
    std::size_t GetLingeringCount() const noexcept { return m_Set->LingeringCount(); }

    // Stops accepting and ends every connection once its current answer is
    // out. Call on the I/O thread. The I/O context then runs out of work
    // when the last response is complete.
    void Close();

private:
    void Bind(boost::asio::ip::tcp::endpoint const& Endpoint);

    boost::asio::io_context& m_IoContext;
    std::shared_ptr<ConnectionSet> m_Set;
    std::vector<std::shared_ptr<Listener>> m_Listeners;
};
} // namespace HttpServer
