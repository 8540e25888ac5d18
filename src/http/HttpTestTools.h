// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <utility>

#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include <poll.h>

#include <gtest/gtest.h>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include "http/Locations.h"
#include "http/Request.h"
#include "http/Response.h"

// What the HTTP tests share: a server on a thread of its own and a raw client.
namespace HttpServer::Testing
{
// A server on a free loopback port, its I/O loop on a thread of its own.
class TestServer
{
public:
    explicit TestServer(RequestHandler Handler, Limits const& Bounds = {})
    {
        m_Locations = std::make_unique<Locations>(m_IoContext, Bounds, std::move(Handler));
        m_Locations->AddUrl("http://127.0.0.1:0/t/");
        m_Port = m_Locations->GetPorts().at(0);
        m_Thread = std::thread([this] { m_IoContext.run(); });
    }
    ~TestServer() { Stop(); }

    // Closes the locations and waits until the loop has run out of work.
    void Stop()
    {
        if(!m_Thread.joinable())
            return;
        boost::asio::post(m_IoContext, [this] { m_Locations->Close(); });
        m_Thread.join();
    }
    std::uint16_t Port() const { return m_Port; }
    // Runs Action on the server's I/O thread and waits until it has run.
    void RunOnLoop(std::function<void()> const& Action)
    {
        std::promise<void> Done;
        boost::asio::post(m_IoContext, [&] {
            Action();
            Done.set_value();
        });
        Done.get_future().wait();
    }
    // The refused sockets lingering now, as the I/O thread sees them.
    std::size_t LingeringCount()
    {
        std::promise<std::size_t> Count;
        boost::asio::post(m_IoContext, [&] { Count.set_value(m_Locations->GetLingeringCount()); });
        return Count.get_future().get();
    }

private:
    boost::asio::io_context m_IoContext;
    std::unique_ptr<Locations> m_Locations;
    std::uint16_t m_Port = 0;
    std::thread m_Thread;
};

// A blocking client that sends raw bytes and reads raw bytes, from
// 127.0.0.1 or another loopback address (all of 127/8 reaches the server,
// each as a client of its own). A read that waits longer than ReadGuard
// fails the test instead of hanging it.
class Client
{
public:
    explicit Client(std::uint16_t Port, char const* From = "127.0.0.1") : m_Socket(m_IoContext)
    {
        using boost::asio::ip::tcp;
        m_Socket.open(tcp::v4());
        m_Socket.bind(tcp::endpoint(boost::asio::ip::make_address(From), 0));
        m_Socket.connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), Port));
    }
    void Write(std::string_view Text) { boost::asio::write(m_Socket, boost::asio::buffer(Text.data(), Text.size())); }
    // Reads until the text contains Marker (returned text included) or the
    // connection ends.
    std::string ReadUntil(std::string_view Marker)
    {
        while(m_Received.find(Marker) == std::string::npos && ReadSome())
        {
        }
        std::size_t const End = m_Received.find(Marker);
        std::size_t const Length = End == std::string::npos ? m_Received.size() : End + Marker.size();
        std::string Text = m_Received.substr(0, Length);
        m_Received.erase(0, Length);
        return Text;
    }
    std::string ReadToEnd()
    {
        while(ReadSome())
        {
        }
        return std::exchange(m_Received, {});
    }
    // One request and its whole answer, on a connection that then closes.
    std::string Exchange(std::string_view Text)
    {
        Write(Text);
        return ReadToEnd();
    }
    void Close() { m_Socket.close(); }

private:
    // False at the end of the connection; a test waiting for bytes that
    // never come fails (after the read guard) rather than hangs.
    bool ReadSome()
    {
        static constexpr int ReadGuardMilliseconds = 60'000;
        pollfd Ready{m_Socket.native_handle(), POLLIN, 0};
        if(::poll(&Ready, 1, ReadGuardMilliseconds) != 1)
        {
            ADD_FAILURE() << "nothing more arrived within the read guard after: " << m_Received.substr(0, 300);
            return false;
        }
        char Buffer[4096];
        ssize_t const Count = ::recv(m_Socket.native_handle(), Buffer, sizeof Buffer, 0);
        if(Count <= 0)
            return false;
        m_Received.append(Buffer, static_cast<std::size_t>(Count));
        return true;
    }

    boost::asio::io_context m_IoContext;
    boost::asio::ip::tcp::socket m_Socket;
    std::string m_Received;
};

inline void AnswerText(Response& Answer, std::string Text)
{
    Answer.SetStatus(200, "OK");
    Answer.SetKnownHeader(KnownHeader::ContentType, "text/plain");
    Answer.AddEntityChunk(std::move(Text));
    Answer.Send();
}
} // namespace HttpServer::Testing
