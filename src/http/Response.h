// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>

#include "base/SharedBytes.h"
#include "http/AnswerOutcome.h"
#include "http/BodyPiece.h"
#include "http/Delivery.h"
#include "http/KnownHeader.h"
#include "http/ResponseHead.h"

namespace HttpServer
{
class Connection;
class SendEdge;
struct WriteBatch;

using ::SharedBytes;

// The answer to one request: a head (status and fields) and body pieces,
// sent whole or as a head followed by more sends ("more data"). A response
// is shared: the request loop may hand it to a task on a worker thread,
// which then sends through it; it is used by one thread at a time.
//
// It holds values, never wire text: the connection frames the body (a
// Content-Length when the head goes out with the whole body, chunks when
// more follows) and writes the head. Sends never wait for the client: they
// queue the pieces on the connection and return, so a producer hands over
// what it made and goes on with its next work however slowly its client
// reads. Shared pieces go out without a copy; borrowed ones are copied when
// sent. The connection's queue is bounded (Limits::MaximalQueuedBytes): a
// send that finds it full closes the connection, and from then on sends
// return false and the client-gone callback has run. A response dropped
// before its last send aborts the connection: the client never sees a body
// that looks complete but is not.
class Response
{
public:
    // The send is not the last one of the response.
    static constexpr unsigned SendFlagMoreData = 0x00000002;

    Response(std::shared_ptr<Connection> Owner, std::shared_ptr<Delivery> Shared);
    ~Response();
    Response(Response const&) = delete;
    Response& operator=(Response const&) = delete;

    // Starts the response afresh: status and reason ("OK", "No Content",
    // "Bad Request"); fields and pieces added before are dropped.
    void SetStatus(unsigned StatusCode, std::string Reason);
    // Values and names must not contain CR or LF (E_INVALIDARG); the
    // framing fields are the connection's and refused here.
    void SetKnownHeader(KnownHeader Header, std::string Value) { m_Head.Set(Header, std::move(Value)); }
    void AddUnknownHeader(std::string Name, std::string Value) { m_Head.Add(std::move(Name), std::move(Value)); }

    // Body pieces, sent in order by the next Send or SendEntityBody.
    void AddEntityChunk(void const* Data, std::size_t Size); // borrowed: copied when sent
    void AddEntityChunk(std::string Text);                    // owned, moved in
    void AddEntityChunk(std::vector<std::uint8_t> Data);      // owned, moved in
    void AddEntityChunk(SharedBytes Data);                    // shared, never copied
    void AddEntityChunk(BodyPiece Piece);                     // shared, never copied

    // Sends the head and the pieces added so far. Without SendFlagMoreData
    // this completes the response. Returns whether the client is still
    // there to take the bytes. Never throws for a client that went away.
    bool Send(unsigned Flags = 0);
    // Sends the pieces added since the last send.
    bool SendEntityBody(unsigned Flags = 0);
    // Before the first send, on the I/O thread: the response's batches go
    // out through Edge (see SendEdge).
    void SetEdge(std::shared_ptr<SendEdge> Edge);
    // The edge set last, so that another one can be put in front of it.
    std::shared_ptr<SendEdge> GetEdge() const noexcept { return m_Edge; }
    // On the I/O thread, before the first send: this answer is held back on
    // purpose (a deliberate delay, throttle or hang, or a request waiting
    // for its time). False when the client's address holds its share of
    // held answers already (Limits::MaximalHeldAnswersPerAddress). A held
    // answer may be shed to make room for others; Timed ones end after
    // Limits::LongestHold.
    bool Hold(bool Timed);
    // Ends the response without completing it: what was sent so far still
    // goes out, then the connection closes.
    void Abort();

    // From any thread: whether the client left (or was dropped) before the
    // response was complete.
    bool IsClientGone() const noexcept { return m_Delivery->IsClientGone(); }
    // Callback runs once when the client goes before the response is
    // complete (see Delivery::OnClientGone): a producer stops there.
    void OnClientGone(std::function<void()> Callback) { m_Delivery->OnClientGone(std::move(Callback)); }
    // Observer runs with the status code when the head is sent (on the
    // sending thread), so that answers can be counted by status.
    void OnHeadSent(std::function<void(unsigned StatusCode)> Observer) { m_HeadObserver = std::move(Observer); }

    // On the I/O thread, before the first send: Observer runs once, on the
    // I/O thread, when the answer has gone out whole or ended otherwise,
    // with what was written of it (see AnswerOutcome). Nothing is counted
    // for an answer that has none.
    void OnFinished(std::function<void(AnswerOutcome const&)> Observer);

    bool IsHeadSent() const noexcept { return m_HeadSent; }
    // The I/O thread's executor: a producer that serves several responses
    // posts there to send through all of them in one order.
    boost::asio::io_context::executor_type GetExecutor() const noexcept;
    bool IsComplete() const noexcept { return m_Complete; }

private:
    bool Submit(std::shared_ptr<WriteBatch> Batch);
    // Runs Action on the connection, on the I/O thread, in the order of calls.
    template <typename ActionT>
    void OnConnection(ActionT&& Action);
    void Release();

    std::shared_ptr<Connection> m_Connection;
    std::shared_ptr<Delivery> m_Delivery;
    // Keeps the I/O loop running while a task still has to send through
    // this response, so that shutdown waits for it.
    std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> m_WorkGuard;
    ResponseHead m_Head;
    std::vector<BodyPiece> m_Pieces;
    std::function<void(unsigned StatusCode)> m_HeadObserver;
    std::shared_ptr<SendEdge> m_Edge;
    bool m_HeadSent = false;
    bool m_Complete = false;
    bool m_Posted = false;
};
} // namespace HttpServer
