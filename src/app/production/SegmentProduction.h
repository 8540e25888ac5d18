// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>

#include "app/answers/MediaBody.h"
#include "app/answers/MediaBodyAnswer.h"
#include "app/context/ServerContext.h"
#include "app/production/SessionCancellation.h"
#include "http/Response.h"

namespace Application
{
class SegmentSession;

// One making of one piece of media, shared by every request for it that
// arrives while it is made. The first request starts it; later ones join
// and get every byte from the first one: what was made so far at once, the
// rest as it comes. A client that leaves is dropped alone; when the last one
// has left, the pipeline is cancelled and nothing is kept.
//
// Subscribers are kept and served on the I/O thread only; the task on its
// worker thread posts what it makes there, so each response is used by one
// thread in one order. A streaming production sends its fragments as they
// are made, each as the sink wrote it (shared, never copied); a subscriber
// that needs the whole body (a range, a response-body file) or a production
// that does not stream (initialisation segments, progressive files) is
// answered whole at the end.
class SegmentProduction : public std::enable_shared_from_this<SegmentProduction>
{
public:
    // Runs on the worker: makes the media through the production.
    using Producer = std::function<void(SegmentProduction& Production)>;
    // On the I/O thread, once: the production ended, with its whole body
    // when it was made completely and null otherwise (failed or abandoned).
    using Ended = std::function<void(SegmentProduction& Production, SharedMediaBody const& Body)>;

    using Executor = boost::asio::io_context::executor_type;

    // Follows a production without being one of its clients (the parts of a
    // segment are taken from it): the fragments made so far and each later
    // batch of them, then the outcome, all on the I/O thread.
    struct Observer
    {
        std::function<void(std::vector<SharedBytes> const& Fragments)> OnFragments;
        std::function<void(std::exception_ptr Failure, SharedMediaBody const& Body)> OnEnd;
    };

    // Executor is the I/O thread's (Response::GetExecutor).
    SegmentProduction(ServerContext& Server, Executor IoExecutor, std::string Key, bool Streams, Ended OnEnded);
    SegmentProduction(SegmentProduction const&) = delete;
    SegmentProduction& operator=(SegmentProduction const&) = delete;

    std::string const& GetKey() const noexcept { return m_Key; }

    // I/O thread. Answer holds the request's conditions and file name.
    void Join(std::shared_ptr<HttpServer::Response> Response, MediaBodyAnswer Answer);
    // I/O thread. An observed production runs to its end even when every
    // client has left, so that it is kept for the requests to come.
    void Observe(Observer Watch);
    // I/O thread: the production will not call its Ended callback (its
    // owner goes away).
    void Detach() noexcept { m_OnEnded = nullptr; }

    // Worker thread: runs Make unless every client has left meanwhile, and
    // hands the outcome to the I/O thread.
    void Run(Producer const& Make) noexcept;
    // Worker thread, from the task's destructor when it never ran (dropped
    // at shutdown): the clients' connections are closed.
    void Abandon() noexcept;

    // For the producer, on the worker: runs a session, cancelled when the
    // last client leaves (E_ABORT then).
    void RunSession(SegmentSession& Session);
    // Hands over fragments as they are made; false when no one wants them
    // any more.
    bool Deliver(std::vector<SharedBytes> Fragments);
    // Adds to the body of a production that does not stream.
    void Append(std::vector<SharedBytes> const& Pieces);

    // I/O thread, once ended: how long the making took.
    double GetSeconds() const noexcept { return m_Seconds; }

private:
    struct Subscriber
    {
        std::shared_ptr<HttpServer::Response> Response;
        MediaBodyAnswer Answer;
        bool Whole = false;
        bool Gone = false;
    };

    void Leave(Subscriber* Client);
    void Cancel();
    void Stream(Subscriber& Client, std::vector<SharedBytes> const& Fragments);
    void OnFragments(std::vector<SharedBytes> const& Fragments);
    void OnEnd(std::exception_ptr Failure, bool Abandoned, SharedMediaBody const& Body);
    void Finish(Subscriber& Client, std::exception_ptr const& Failure, bool Abandoned, SharedMediaBody const& Body);
    // Drops the subscribers that left; outside any send through them.
    void Compact();
    void Post(std::function<void()> Action);

    ServerContext& m_Server;
    std::string const m_Key;
    bool const m_Streams;
    Ended m_OnEnded;
    Executor const m_Executor;
    // I/O thread only.
    std::vector<std::unique_ptr<Subscriber>> m_Subscribers;
    std::vector<SharedBytes> m_Fragments; // made so far, for those who join

    std::vector<Observer> m_Observers;
    bool m_Ended = false;
    double m_Seconds = 0;
    // Shared with the worker.
    std::atomic<std::size_t> m_LiveCount{0};
    std::atomic<bool> m_Observed{false};
    std::atomic<bool> m_Ran{false};
    SessionCancellation m_Cancellation;
    // Worker only: the whole body as made.
    std::vector<SharedBytes> m_Made;
};
} // namespace Application
