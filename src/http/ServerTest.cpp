// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/HttpTestTools.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

using HttpServer::Response;
using HttpServer::Testing::AnswerText;
using HttpServer::Testing::Client;
using HttpServer::Testing::TestServer;

TEST(HttpServer, KeepAliveConnectionAnswersPipelinedRequestsInOrder)
{
    TestServer Server([](auto const& Request, auto const& Answer) {
        QueryVector Query;
        Request->GetQueryStringNameValueVector(Query);
        AnswerText(*Answer, Request->GetAbsPath() + "|" + Request->GetQueryString() + "|" + (Query.empty() ? "" : Query[0].Value));
    });
    Client Connection(Server.Port());
    Connection.Write("GET /t/a%20b?x=1%2B2 HTTP/1.1\r\nHost: h\r\n\r\nGET /t/../t/c HTTP/1.1\r\nHost: h\r\nContent-Length: 3\r\n\r\nabc");
    std::string const First = Connection.ReadUntil("1+2");
    EXPECT_TRUE(First.starts_with("HTTP/1.1 200 OK\r\n")) << First;
    EXPECT_NE(First.find("Content-Type: text/plain\r\n"), std::string::npos);
    EXPECT_NE(First.find("Content-Length: 19\r\n"), std::string::npos) << First;
    EXPECT_NE(First.find("\r\nDate: "), std::string::npos);
    EXPECT_TRUE(First.ends_with("\r\n\r\n/t/a b|?x=1%2B2|1+2")) << First;
    std::string const Second = Connection.ReadUntil("/t/c||");
    EXPECT_TRUE(Second.ends_with("\r\n\r\n/t/c||")) << Second;
    // HTTP/1.0 without keep-alive is answered and closed.
    Connection.Write("GET /t/d HTTP/1.0\r\n\r\n");
    std::string const Third = Connection.ReadToEnd();
    EXPECT_NE(Third.find("Connection: close\r\n"), std::string::npos) << Third;
    EXPECT_TRUE(Third.ends_with("/t/d||"));
}

TEST(HttpServer, WorkerThreadStreamsChunksBeforeTheBodyIsComplete)
{
    std::promise<void> FirstChunkSeen;
    std::shared_future<void> const FirstChunk = FirstChunkSeen.get_future().share();
    std::vector<std::thread> Workers;
    std::string const Large(100000, 'L'); // bigger than any socket buffer
    TestServer Server([&](auto const& Request, auto const& Answer) {
        if(Request->GetAbsPath() != "/t/stream")
        {
            AnswerText(*Answer, "plain");
            return;
        }
        Workers.emplace_back([Answer, FirstChunk, &Large] {
            Answer->SetStatus(200, "OK");
            std::string First = "first";
            Answer->AddEntityChunk(First.data(), First.size());
            EXPECT_TRUE(Answer->Send(Response::SendFlagMoreData));
            First.assign("XXXXX"); // borrowed memory may change once Send returned
            FirstChunk.wait();
            Answer->AddEntityChunk(Large.data(), Large.size());
            EXPECT_TRUE(Answer->SendEntityBody(Response::SendFlagMoreData));
            EXPECT_TRUE(Answer->SendEntityBody());
        });
    });
    Client Connection(Server.Port());
    Connection.Write("GET /t/stream HTTP/1.1\r\nHost: h\r\n\r\n");
    std::string const Head = Connection.ReadUntil("first\r\n");
    EXPECT_NE(Head.find("Transfer-Encoding: chunked\r\n"), std::string::npos) << Head;
    EXPECT_EQ(Head.find("Content-Length"), std::string::npos) << Head;
    EXPECT_TRUE(Head.ends_with("\r\n\r\n5\r\nfirst\r\n")) << Head;
    FirstChunkSeen.set_value();
    std::string const Rest = Connection.ReadUntil("\r\n0\r\n\r\n");
    EXPECT_EQ(Rest, "186A0\r\n" + Large + "\r\n0\r\n\r\n");
    // The connection is kept for the next request.
    Connection.Write("GET /t/x HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_TRUE(Connection.ReadUntil("plain").ends_with("plain"));
    for(auto& Worker : Workers)
        Worker.join();
}

TEST(HttpServer, FailedOrDroppedResponsesAbortTheConnection)
{
    std::vector<std::thread> Workers;
    TestServer Server([&](auto const& Request, auto const& Answer) {
        bool const Abort = Request->GetAbsPath() == "/t/abort";
        Workers.emplace_back([Held = std::shared_ptr<Response>(Answer), Abort]() mutable {
            Held->SetStatus(200, "OK");
            Held->AddEntityChunk("part", 4);
            Held->Send(Response::SendFlagMoreData);
            if(Abort)
                Held->Abort();
            Held.reset(); // the task ends without the last chunk
        });
    });
    for(char const* Path : {"/t/abort", "/t/drop"})
    {
        Client Connection(Server.Port());
        Connection.Write(std::string("GET ") + Path + " HTTP/1.1\r\nHost: h\r\n\r\n");
        std::string const Text = Connection.ReadToEnd();
        EXPECT_TRUE(Text.ends_with("\r\n\r\n4\r\npart\r\n")) << Path << ": " << Text;
    }
    for(auto& Worker : Workers)
        Worker.join();
}

TEST(HttpServer, AClientThatLeavesIsNoticedAtOnceAndLaterSendsFail)
{
    std::promise<void> Gone;
    std::promise<bool> Outcome;
    std::thread Worker;
    TestServer Server([&](auto const& Request, auto const& Answer) {
        if(Request->GetAbsPath() != "/t/leave")
        {
            AnswerText(*Answer, "still here");
            return;
        }
        // Nothing is sent until the client has left: a producer of a whole
        // body learns it without writing.
        Answer->OnClientGone([&Gone] { Gone.set_value(); });
        Worker = std::thread([Answer, &Gone, &Outcome] {
            Gone.get_future().wait();
            Answer->SetStatus(200, "OK");
            Answer->AddEntityChunk(std::string("late"));
            Outcome.set_value(Answer->Send());
        });
    });
    {
        Client Leaving(Server.Port());
        Leaving.Write("GET /t/leave HTTP/1.1\r\nHost: h\r\n\r\n");
    }
    EXPECT_FALSE(Outcome.get_future().get());
    Worker.join();
    EXPECT_TRUE(Client(Server.Port()).Exchange("GET /t/x HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n").ends_with("still here"));
}

TEST(HttpServer, StopWaitsForTheAnswerInProgressThenCloses)
{
    std::promise<void> Dispatched;
    std::promise<void> Release;
    std::shared_future<void> Released = Release.get_future().share();
    std::thread Worker;
    TestServer Server([&](auto const&, auto const& Answer) {
        Worker = std::thread([Answer, Released] {
            Released.wait();
            AnswerText(*Answer, "late");
        });
        Dispatched.set_value();
    });
    Client Busy(Server.Port());
    Client Idle(Server.Port());
    Busy.Write("GET /t/x HTTP/1.1\r\nHost: h\r\n\r\n");
    Dispatched.get_future().wait();
    std::thread Stopper([&] { Server.Stop(); });
    EXPECT_EQ(Idle.ReadToEnd(), ""); // idle connections end at once
    Release.set_value();
    std::string const Text = Busy.ReadToEnd();
    EXPECT_TRUE(Text.ends_with("late")) << Text;
    EXPECT_NE(Text.find("Connection: close\r\n"), std::string::npos) << Text;
    Stopper.join();
    Worker.join();
}
