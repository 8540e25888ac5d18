#pragma once

#include <utility>

#include <deque>
#include <memory>
#include <optional>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include "http/ConnectionSet.h"
#include "http/WriteBatch.h"

namespace HttpServer
{
// One client connection: reads one request at a time, hands it to the
// request handler with a Response bound to this connection, and reads the
// next request only after the last send of that response (keep-alive).
// Everything here runs on the I/O thread; Response posts to it.
class Connection : public std::enable_shared_from_this<Connection>
{
public:
    using Executor = boost::asio::io_context::executor_type;

    Connection(boost::asio::io_context& IoContext, boost::asio::ip::tcp::socket Socket, std::shared_ptr<ConnectionSet> Set);
    ~Connection();
    Connection(Connection const&) = delete;
    Connection& operator=(Connection const&) = delete;

    void Start();
    // Ends the connection when it is between requests, else after the answer.
    void Stop();
    // Queues a send of the current response.
    void Write(std::shared_ptr<WriteBatch> Batch);
    // Drops the connection at once: a client of a failed response sees the
    // body end early rather than a body that looks complete.
    void Abort();

    Executor GetExecutor() const noexcept { return m_Executor; }
    bool IsOpen() const noexcept { return m_Open; }
    // Whether the server stops, so that this answer is the connection's last.
    bool IsStopping() const noexcept { return m_Set->Stopping.load(); }
    std::chrono::milliseconds GetSendTime() const noexcept { return m_Set->Bounds.SendTime; }

private:
    void ReadRequest();
    void OnRead(boost::beast::error_code Error);
    void Dispatch();
    void Refuse(unsigned Status, char const* Reason, char const* Text);
    void WriteNext();
    void OnWritten(boost::beast::error_code Error);
    void EndResponse(bool CloseAfter);
    void Close();
    void CloseGracefully();

    Executor m_Executor;
    boost::beast::tcp_stream m_Stream;
    std::shared_ptr<ConnectionSet> m_Set;
    std::string m_LocalAddress;
    std::uint16_t m_LocalPort = 0;
    boost::beast::flat_buffer m_Buffer;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> m_Parser;
    std::deque<std::shared_ptr<WriteBatch>> m_Queue;
    bool m_Open = true;
    bool m_Writing = false;
    bool m_Answering = false;
};
} // namespace HttpServer
