// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include "http/ConnectionSet.h"

namespace HttpServer
{
// Closes the socket of a refused client so that the client reads the
// refusal rather than a reset. A socket closed while the client's bytes lie
// unread in it makes the kernel send a reset, which drops what the server
// had not sent yet and makes a client that is still sending fail before it
// reads the answer. Here the sending side is shut down (the answer then ends
// with a FIN) and what the client still sends is read and dropped until it
// closes, Limits::MaximalLingerBytes have come or Limits::LingerTime has
// passed; then the socket closes. Such sockets are counted in the
// ConnectionSet and bounded by Limits::MaximalLingeringSockets: beyond
// them, and once the server stops, the socket is closed at once. Runs on
// the I/O thread.
class LingeringClose : public std::enable_shared_from_this<LingeringClose>
{
public:
    // Takes the socket once its refusal has been written.
    static void Start(boost::asio::ip::tcp::socket Socket, std::shared_ptr<ConnectionSet> const& Set);

    LingeringClose(boost::asio::ip::tcp::socket Socket, std::shared_ptr<ConnectionSet> Set);
    ~LingeringClose();
    LingeringClose(LingeringClose const&) = delete;
    LingeringClose& operator=(LingeringClose const&) = delete;

private:
    void Begin();
    void Read();
    void Close();

    boost::asio::ip::tcp::socket m_Socket;
    std::shared_ptr<ConnectionSet> const m_Set;
    boost::asio::steady_timer m_Timer;
    std::array<char, 4096> m_Dropped{};
    std::uint64_t m_Received = 0;
};
} // namespace HttpServer
