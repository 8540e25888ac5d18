// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <utility>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include "http/AnswerOutcome.h"
#include "http/ConnectionSet.h"
#include "http/Delivery.h"
#include "http/SendEdge.h"
#include "http/WriteBatch.h"

namespace HttpServer
{
// One client connection: reads one request at a time, hands it to the
// request handler with a Response bound to this connection, and reads the
// next request only after the last send of that response (keep-alive).
// While an answer is being made it keeps reading, so that a client that
// leaves is noticed at once and its answer's producer can stop; bytes of a
// pipelined next request are kept for later. Everything here runs on the
// I/O thread; Response posts to it.
class Connection : public std::enable_shared_from_this<Connection>
{
public:
    using Executor = boost::asio::io_context::executor_type;
    using Clock = std::chrono::steady_clock;

    Connection(boost::asio::io_context& IoContext, boost::asio::ip::tcp::socket Socket, std::shared_ptr<ConnectionSet> Set);
    ~Connection();
    Connection(Connection const&) = delete;
    Connection& operator=(Connection const&) = delete;

    void Start();
    // Ends the connection when it is between requests, else after the
    // answer, which then has the shutdown send time to get out.
    void Stop();
    // Closes an idle connection to make room for a new one.
    void Evict();
    // Queues a send of the current response, through its edge when it has one.
    void Write(std::shared_ptr<WriteBatch> Batch);
    // The current answer's sends go through Edge until the answer ends.
    void SetEdge(std::shared_ptr<SendEdge> Edge) { m_Edge = std::move(Edge); }
    // Queues a send as it stands: what an edge lets through.
    void Forward(std::shared_ptr<WriteBatch> Batch);
    // Ends the answer without completing it: what was queued still goes
    // out, then the connection closes, so a client of a failed response
    // sees the body end early rather than a body that looks complete.
    void Abort();
    // Closes the connection at once, dropping what is queued: the client has
    // fallen too far behind to be waited for, or its held answer is shed.
    void Drop();
    // The current answer is held back on purpose (see Response::Hold).
    bool Hold(bool Timed);
    // Observer learns how the current answer went out (Response::OnFinished).
    void OnFinished(std::function<void(AnswerOutcome const&)> Observer);

    Executor GetExecutor() const noexcept { return m_Executor; }
    bool IsOpen() const noexcept { return m_Open; }
    // Open and between requests: no answer is being made or sent.
    bool IsIdle() const noexcept { return m_Open && !m_Answering; }
    Clock::time_point GetIdleSince() const noexcept { return m_IdleSince; }
    // Whether the server stops, so that this answer is the connection's last.
    bool IsStopping() const noexcept { return m_Set->Stopping.load(); }
    Limits const& GetBounds() const noexcept { return m_Set->Bounds; }

private:
    void ReadRequest();
    void ReadHead();
    void OnHeadBytes(boost::beast::error_code Error, std::size_t Count);
    void ParseHead(std::size_t HeadSize);
    void OnRead(boost::beast::error_code Error);
    void Dispatch();
    // Refuses a request that HTTP/1.1 does not allow a server to answer: no
    // Host or several (400), several different values of a field the server
    // reads once (Request::SingletonFields, 400). True when refused.
    bool RefuseNonconforming();
    // Refuses, before its body is read, a request whose transfer codings are
    // not "chunked" alone: 400 when chunked is not the one final coding, so
    // the body's length is unknown (RFC 9112 section 6.3), else 501 for a
    // coding the server does not implement (section 6.1). True when refused.
    bool RefuseTransferCoding();
    // The client the request comes from: the peer, or the client a trusted
    // proxy names, for which the connection counts from now on. Empty when
    // that client has no room left: the request is refused (503).
    std::optional<boost::asio::ip::address> AdmitClient();
    // Answers and closes; the socket then lingers (LingeringClose), as the
    // client may have sent bytes that are never read.
    void Refuse(unsigned Status, char const* Reason, std::string_view Text);
    // Chooses the framing of the answer at its head and writes it as text.
    void Frame(WriteBatch& Batch);
    void Watch();
    void OnWatched(boost::beast::error_code Error, std::size_t Count);
    void WriteNext();
    void OnWritten(boost::beast::error_code Error, std::size_t Count);
    void EndResponse(bool CloseAfter);
    // Tells the current answer's observer, once, how it went out.
    void Finish(bool Completed) noexcept;
    void Close();
    void CloseGracefully();

    Executor m_Executor;
    boost::beast::tcp_stream m_Stream;
    std::shared_ptr<ConnectionSet> m_Set;
    boost::asio::steady_timer m_ShutdownTimer;
    std::string m_LocalAddress;
    std::uint16_t m_LocalPort = 0;
    // The socket's peer: the client, or a trusted proxy that names it.
    boost::asio::ip::address m_PeerAddress;
    boost::beast::flat_buffer m_Buffer;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> m_Parser;
    std::deque<std::shared_ptr<WriteBatch>> m_Queue;
    // What the producer of the current answer shares with this connection.
    std::shared_ptr<Delivery> m_Delivery;
    std::shared_ptr<SendEdge> m_Edge;
    // Told when the current answer ends; the outcome is counted only then.
    std::function<void(AnswerOutcome const&)> m_FinishObserver;
    AnswerOutcome m_Outcome;
    // The request being answered, as far as framing goes.
    bool m_HeadRequest = false;
    bool m_ChunkedAllowed = true; // an HTTP/1.1 request
    bool m_KeepAlive = true;
    BodyFraming m_Framing = BodyFraming::None;
    // The connection closes after the current answer.
    bool m_CloseAfter = false;
    // Ends a deliberate hold that outlasts Limits::LongestHold.
    boost::asio::steady_timer m_HoldTimer;
    Clock::time_point m_IdleSince = Clock::now();
    std::uint64_t m_WriteCount = 0;
    bool m_Open = true;
    bool m_Writing = false;
    bool m_Answering = false;
    bool m_FinalQueued = false;
    bool m_Watching = false;
    // The answer ended while watching: read the next request once the watch
    // has been cancelled.
    bool m_ReadAfterWatch = false;
    // The answer was aborted: close once the queue is written.
    bool m_CloseWhenWritten = false;
    // A refusal is being answered: its socket lingers when it closes.
    bool m_Refused = false;
};
} // namespace HttpServer
