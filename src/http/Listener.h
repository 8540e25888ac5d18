// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <utility>

#include <memory>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include "http/ConnectionSet.h"

namespace HttpServer
{
// One listening socket. Accepts connections into the shared set until
// closed. When the set is full for the client (Limits), an idle connection
// makes room; when none is idle the client is told 503 and its socket
// closes as a refused one does (LingeringClose).
class Listener : public std::enable_shared_from_this<Listener>
{
public:
    // Raises the socket error (with the endpoint in its message) when the
    // endpoint cannot be bound.
    Listener(boost::asio::io_context& IoContext, boost::asio::ip::tcp::endpoint const& Endpoint, std::shared_ptr<ConnectionSet> Set);

    void Start();
    void Close();
    boost::asio::ip::tcp::endpoint GetEndpoint() const;

private:
    void Accept();
    void OnAccept(boost::system::error_code Error, boost::asio::ip::tcp::socket Socket);
    void RefuseBusy(boost::asio::ip::tcp::socket Socket);

    boost::asio::io_context& m_IoContext;
    boost::asio::ip::tcp::acceptor m_Acceptor;
    boost::asio::steady_timer m_RetryTimer;
    std::shared_ptr<ConnectionSet> m_Set;
};
} // namespace HttpServer
