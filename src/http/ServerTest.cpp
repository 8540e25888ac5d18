#include <utility>

#include "http/Locations.h"
#include "http/Request.h"
#include "http/Response.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace
{
using boost::asio::ip::tcp;
using HttpServer::Response;

// A server on a free loopback port, its I/O loop on a thread of its own.
class TestServer
{
public:
    explicit TestServer(HttpServer::RequestHandler Handler, HttpServer::Limits const& Bounds = {})
    {
        m_Locations = std::make_unique<HttpServer::Locations>(m_IoContext, Bounds, std::move(Handler));
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

private:
    boost::asio::io_context m_IoContext;
    std::unique_ptr<HttpServer::Locations> m_Locations;
    std::uint16_t m_Port = 0;
    std::thread m_Thread;
};

// A blocking client that sends raw bytes and reads raw bytes.
class Client
{
public:
    explicit Client(std::uint16_t Port) : m_Socket(m_IoContext)
    {
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
    void Close() { m_Socket.close(); }

private:
    bool ReadSome()
    {
        char Buffer[4096];
        boost::system::error_code Error;
        std::size_t const Count = m_Socket.read_some(boost::asio::buffer(Buffer), Error);
        m_Received.append(Buffer, Count);
        return !Error;
    }

    boost::asio::io_context m_IoContext;
    tcp::socket m_Socket;
    std::string m_Received;
};

void AnswerText(Response& Answer, std::string Text)
{
    Answer.SetStatus(200, "OK");
    Answer.SetKnownHeader(HttpServer::KnownHeader::ContentType, "text/plain");
    Answer.AddEntityChunk(std::move(Text));
    Answer.Send();
}
} // namespace

TEST(HttpServer, KeepAliveConnectionAnswersPipelinedRequestsInOrder)
{
    TestServer Server([](auto const& Request, auto const& Answer) {
        HttpServer::QueryVector Query;
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
            Answer->SetKnownHeader(HttpServer::KnownHeader::TransferEncoding, "chunked");
            std::string First = "first";
            Answer->AddTransferChunk(First.data(), First.size());
            EXPECT_TRUE(Answer->Send(Response::SendFlagMoreData));
            First.assign("XXXXX"); // borrowed memory may change once Send returned
            FirstChunk.wait();
            Answer->AddTransferChunk(Large.data(), Large.size());
            EXPECT_TRUE(Answer->SendEntityBody(Response::SendFlagMoreData));
            Answer->AddLastTransferChunk();
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
            Held->SetKnownHeader(HttpServer::KnownHeader::TransferEncoding, "chunked");
            Held->AddTransferChunk("part", 4);
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

TEST(HttpServer, SendsToAClientThatLeftFailAndTheServerGoesOn)
{
    std::promise<bool> Outcome;
    std::promise<void> ClientGone;
    std::thread Worker;
    TestServer Server([&](auto const& Request, auto const& Answer) {
        if(Request->GetAbsPath() != "/t/leave")
        {
            AnswerText(*Answer, "still here");
            return;
        }
        Worker = std::thread([Answer, &Outcome, &ClientGone] {
            Answer->SetStatus(200, "OK");
            Answer->SetKnownHeader(HttpServer::KnownHeader::TransferEncoding, "chunked");
            Answer->Send(Response::SendFlagMoreData);
            ClientGone.get_future().wait();
            std::string const Block(1 << 16, 'b');
            bool Written = true;
            for(int Attempt = 0; Attempt < 1000 && Written; ++Attempt)
            {
                Answer->AddTransferChunk(Block.data(), Block.size());
                Written = Answer->SendEntityBody(Response::SendFlagMoreData);
            }
            Outcome.set_value(Written);
        });
    });
    {
        Client Leaving(Server.Port());
        Leaving.Write("GET /t/leave HTTP/1.1\r\nHost: h\r\n\r\n");
        Leaving.ReadUntil("\r\n\r\n");
    }
    ClientGone.set_value();
    EXPECT_FALSE(Outcome.get_future().get());
    Worker.join();
    Client Other(Server.Port());
    Other.Write("GET /t/x HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_TRUE(Other.ReadUntil("still here").ends_with("still here"));
}

TEST(HttpServer, RequestsBeyondTheLimitsGetAnErrorAndTheConnectionCloses)
{
    HttpServer::Limits Bounds;
    Bounds.MaximalHeaderBytes = 1024;
    Bounds.MaximalBodyBytes = 10;
    Bounds.ReceiveTime = std::chrono::milliseconds(300);
    Bounds.MaximalConnections = 3;
    TestServer Server([](auto const&, auto const& Answer) { AnswerText(*Answer, "fine"); }, Bounds);
    auto Exchange = [&](std::string const& Text) {
        Client Connection(Server.Port());
        Connection.Write(Text);
        return Connection.ReadToEnd();
    };
    EXPECT_TRUE(Exchange("GET /t/x HTTP/1.1\r\nHost: h\r\nX-Big: " + std::string(2000, 'a') + "\r\n\r\n").starts_with("HTTP/1.1 431 "));
    EXPECT_TRUE(Exchange("GET /t/" + std::string(2000, 'a') + " HTTP/1.1\r\n\r\n").starts_with("HTTP/1.1 431 "));
    EXPECT_TRUE(Exchange("POST /t/x HTTP/1.1\r\nHost: h\r\nContent-Length: 11\r\n\r\n01234567890").starts_with("HTTP/1.1 413 "));
    EXPECT_TRUE(Exchange("GARBAGE\r\n\r\n").starts_with("HTTP/1.1 400 "));
    EXPECT_TRUE(Exchange("GET /t/%zz HTTP/1.1\r\nHost: h\r\n\r\n").starts_with("HTTP/1.1 400 "));
    // A client that sends half a request is dropped after the receive time.
    auto const Started = std::chrono::steady_clock::now();
    EXPECT_EQ(Exchange("GET /t/x HTTP/1.1\r\nHo"), "");
    EXPECT_LT(std::chrono::steady_clock::now() - Started, std::chrono::seconds(5));
    // Past the connection limit a client is told so; the others are served.
    std::vector<std::unique_ptr<Client>> Open;
    for(int Index = 0; Index < 3; ++Index)
    {
        Open.push_back(std::make_unique<Client>(Server.Port()));
        Open.back()->Write("GET /t/x HTTP/1.1\r\nHost: h\r\n\r\n");
        Open.back()->ReadUntil("fine");
    }
    EXPECT_TRUE(Exchange("GET /t/x HTTP/1.1\r\n\r\n").starts_with("HTTP/1.1 503 "));
    Open.back()->Write("GET /t/x HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_TRUE(Open.back()->ReadUntil("fine").ends_with("fine"));
}

TEST(HttpServer, StopWaitsForTheAnswerInProgressThenCloses)
{
    std::promise<void> Release;
    std::shared_future<void> Released = Release.get_future().share();
    std::thread Worker;
    TestServer Server([&](auto const&, auto const& Answer) {
        Worker = std::thread([Answer, Released] {
            Released.wait();
            AnswerText(*Answer, "late");
        });
    });
    Client Busy(Server.Port());
    Client Idle(Server.Port());
    Busy.Write("GET /t/x HTTP/1.1\r\nHost: h\r\n\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::thread Stopper([&] { Server.Stop(); });
    EXPECT_EQ(Idle.ReadToEnd(), ""); // idle connections end at once
    Release.set_value();
    std::string const Text = Busy.ReadToEnd();
    EXPECT_TRUE(Text.ends_with("late")) << Text;
    EXPECT_NE(Text.find("Connection: close\r\n"), std::string::npos) << Text;
    Stopper.join();
    Worker.join();
}
