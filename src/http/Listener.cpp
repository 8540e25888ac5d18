// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/Listener.h"

#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/write.hpp>

#include "base/HResultError.h"
#include "base/StringFormat.h"
#include "base/Trace.h"
#include "http/Connection.h"
#include "http/ErrorCodeStatus.h"
#include "http/LingeringClose.h"

namespace HttpServer
{
namespace
{
// When the process runs out of file descriptors, accepting again at once
// would spin; wait this long for connections to end.
constexpr std::chrono::milliseconds AcceptRetryDelay{100};

void RaiseSocketError(boost::system::error_code const& Error, boost::asio::ip::tcp::endpoint const& Endpoint, char const* Action)
{
    if(!Error)
        return;
    std::string const Address = Endpoint.address().is_v6() ? "[" + Endpoint.address().to_string() + "]" : Endpoint.address().to_string();
    throw HResultError(HResultFromErrorCode(Error), StringFormat("Cannot %s %s:%u: %s", Action, Address.c_str(), static_cast<unsigned>(Endpoint.port()), Error.message().c_str()));
}
} // namespace

Listener::Listener(boost::asio::io_context& IoContext, boost::asio::ip::tcp::endpoint const& Endpoint, std::shared_ptr<ConnectionSet> Set) :
    m_IoContext(IoContext), m_Acceptor(IoContext), m_RetryTimer(IoContext), m_Set(std::move(Set))
{
    boost::system::error_code Error;
    m_Acceptor.open(Endpoint.protocol(), Error);
    RaiseSocketError(Error, Endpoint, "open a socket for");
    m_Acceptor.set_option(boost::asio::ip::tcp::acceptor::reuse_address(true), Error);
    if(Endpoint.address().is_v6() && Endpoint.address().is_unspecified())
        m_Acceptor.set_option(boost::asio::ip::v6_only(false), Error); // "+" takes IPv4 too
    m_Acceptor.bind(Endpoint, Error);
    RaiseSocketError(Error, Endpoint, "bind");
    m_Acceptor.listen(boost::asio::socket_base::max_listen_connections, Error);
    RaiseSocketError(Error, Endpoint, "listen on");
}

void Listener::Start()
{
    Accept();
}

void Listener::Close()
{
    boost::system::error_code Error;
    m_Acceptor.close(Error);
    m_RetryTimer.cancel();
}

boost::asio::ip::tcp::endpoint Listener::GetEndpoint() const
{
    boost::system::error_code Error;
    return m_Acceptor.local_endpoint(Error);
}

void Listener::Accept()
{
    m_Acceptor.async_accept(m_IoContext, [Self = shared_from_this()](boost::system::error_code Error, boost::asio::ip::tcp::socket Socket) {
        Self->OnAccept(Error, std::move(Socket));
    });
}

void Listener::OnAccept(boost::system::error_code Error, boost::asio::ip::tcp::socket Socket)
{
    if(!m_Acceptor.is_open())
        return;
    if(Error)
    {
        TRACE("Error %s\n", Error.message().c_str());
        m_RetryTimer.expires_after(AcceptRetryDelay);
        m_RetryTimer.async_wait([Self = shared_from_this()](boost::system::error_code TimerError) {
            if(!TimerError && Self->m_Acceptor.is_open())
                Self->Accept();
        });
        return;
    }
    if(!m_Set->MakeRoom(ConnectionSet::ClientAddress(Socket)))
        RefuseBusy(std::move(Socket));
    else
        std::make_shared<Connection>(m_IoContext, std::move(Socket), m_Set)->Start();
    Accept();
}

void Listener::RefuseBusy(boost::asio::ip::tcp::socket Socket)
{
    static constexpr std::string_view Text =
        "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 30\r\nConnection: close\r\n\r\n"
        "Too many connections are open.";
    auto Owned = std::make_shared<boost::asio::ip::tcp::socket>(std::move(Socket));
    // The client's request is never read: the socket lingers, so that the
    // client gets the 503 rather than a reset.
    boost::asio::async_write(*Owned, boost::asio::buffer(Text.data(), Text.size()), [Owned, Set = m_Set](boost::system::error_code Error, std::size_t) {
        boost::system::error_code Ignored;
        if(Error)
            Owned->close(Ignored);
        LingeringClose::Start(std::move(*Owned), Set);
    });
}
} // namespace HttpServer
