// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/HttpTestTools.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

using HttpServer::Response;
using HttpServer::Testing::AnswerText;
using HttpServer::Testing::Client;
using HttpServer::Testing::TestServer;

namespace
{
// A request whose head (request line, header lines, empty line) is exactly
// Size bytes long.
std::string RequestOfHeadSize(std::size_t Size)
{
    std::string const Start = "GET /t/x HTTP/1.1\r\nHost: h\r\nX-Fill: ";
    return Start + std::string(Size - Start.size() - 4, 'f') + "\r\n\r\n";
}

// Holds the responses of the requests it gets until released.
class HeldAnswers
{
public:
    void Hold(std::shared_ptr<Response> const& Answer)
    {
        std::lock_guard Lock(m_Mutex);
        m_Held.push_back(Answer);
        m_Changed.notify_all();
    }
    void WaitFor(std::size_t Count)
    {
        std::unique_lock Lock(m_Mutex);
        m_Changed.wait(Lock, [&] { return m_Held.size() >= Count; });
    }
    void AnswerAll()
    {
        std::lock_guard Lock(m_Mutex);
        for(auto const& Answer : m_Held)
            AnswerText(*Answer, "held");
        m_Held.clear();
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::vector<std::shared_ptr<Response>> m_Held;
};
} // namespace

TEST(HttpConnection, RequestsBeyondTheLimitsGetAnErrorAndTheConnectionCloses)
{
    HttpServer::Limits Bounds;
    Bounds.MaximalHeaderBytes = 1024;
    Bounds.MaximalBodyBytes = 10;
    Bounds.ReceiveTime = std::chrono::milliseconds(300);
    TestServer Server([](auto const&, auto const& Answer) { AnswerText(*Answer, "fine"); }, Bounds);
    auto Exchange = [&](std::string const& Text) { return Client(Server.Port()).Exchange(Text); };
    // The head limit counts the request line and every header line, exactly.
    EXPECT_TRUE(Exchange(RequestOfHeadSize(1024) + "GET /t/x HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n").ends_with("fine"));
    std::string const LongLine = "GET /t/" + std::string(1024 - 22, 'a') + " HTTP/1.1\r\n";
    for(auto const& [Request, Start] : std::initializer_list<std::pair<std::string, std::string>>{
            {RequestOfHeadSize(1025), "HTTP/1.1 431 "},
            {LongLine + "Host: h\r\n\r\n", "HTTP/1.1 431 "}, // the request line alone counts as much
            {"POST /t/x HTTP/1.1\r\nHost: h\r\nContent-Length: 11\r\n\r\n01234567890", "HTTP/1.1 413 "},
            {"GARBAGE\r\n\r\n", "HTTP/1.1 400 "},
            {"GET /t/%zz HTTP/1.1\r\nHost: h\r\n\r\n", "HTTP/1.1 400 "},
        })
        EXPECT_TRUE(Exchange(Request).starts_with(Start)) << Request.substr(0, 60);
    // A client that sends half a request is dropped once the receive time is over.
    EXPECT_EQ(Exchange("GET /t/x HTTP/1.1\r\nHo"), "");
}

TEST(HttpConnection, HostAndVersionAsHttp11Requires)
{
    TestServer Server([](auto const&, auto const& Answer) { AnswerText(*Answer, "fine"); });
    auto Exchange = [&](std::string const& Text) { return Client(Server.Port()).Exchange(Text); };
    for(char const* Head : {"GET /t/x HTTP/1.1\r\n\r\n", "GET /t/x HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n",
                            "GET /t/x HTTP/1.0\r\nHost: a\r\nHost: a\r\n\r\n", "GET /t/x HTTP/1.1\r\nHost: a b\r\n\r\n",
                            "GET /t/x HTTP/1.1\r\nHost: a/b\r\n\r\n"})
    {
        std::string const Answer = Exchange(Head);
        EXPECT_TRUE(Answer.starts_with("HTTP/1.1 400 ")) << Head << Answer;
        EXPECT_TRUE(Answer.ends_with("The request must name its host in one Host header field.\n")) << Answer;
    }
    for(char const* Head : {"GET /t/x HTTP/1.2\r\nHost: a\r\n\r\n", "GET /t/x HTTP/2.0\r\nHost: a\r\n\r\n", "GET /t/x HTTP/0.9\r\nHost: a\r\n\r\n"})
        EXPECT_TRUE(Exchange(Head).starts_with("HTTP/1.1 505 HTTP Version Not Supported\r\n")) << Head;
    EXPECT_TRUE(Exchange("GET /t/x HTTP/1.0\r\n\r\n").ends_with("fine"));
    EXPECT_TRUE(Exchange("GET /t/x HTTP/1.1\r\nHost: [::1]:8080\r\nConnection: close\r\n\r\n").ends_with("fine"));
    EXPECT_TRUE(Exchange("\r\n\r\nGET /t/x HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n").ends_with("fine"));
}

TEST(HttpConnection, ANewClientClosesTheLongestIdleConnectionWhenTheServerIsFull)
{
    HttpServer::Limits Bounds;
    Bounds.MaximalConnections = 3;
    Bounds.MaximalConnectionsPerAddress = 2;
    HeldAnswers Held;
    TestServer Server([&](auto const& Request, auto const& Answer) {
        if(Request->GetAbsPath() == "/t/hold")
            Held.Hold(Answer);
        else
            AnswerText(*Answer, "fine");
    }, Bounds);
    auto Served = [](Client& Connection) {
        Connection.Write("GET /t/x HTTP/1.1\r\nHost: h\r\n\r\n");
        return Connection.ReadUntil("fine").ends_with("fine");
    };
    // Two idle connections of one address; a third of it closes the first.
    Client First(Server.Port(), "127.0.0.1");
    ASSERT_TRUE(Served(First));
    Client Second(Server.Port(), "127.0.0.1");
    ASSERT_TRUE(Served(Second));
    Client Third(Server.Port(), "127.0.0.1");
    EXPECT_TRUE(Served(Third));
    EXPECT_EQ(First.ReadToEnd(), "");
    EXPECT_TRUE(Served(Second));
    // Full: another address closes the longest-idle connection of all.
    Client Other(Server.Port(), "127.0.0.2");
    ASSERT_TRUE(Served(Other));
    Client Another(Server.Port(), "127.0.0.3");
    EXPECT_TRUE(Served(Another));
    EXPECT_EQ(Third.ReadToEnd(), "");
    // Connections that are answering are never closed for a newcomer: with
    // every one busy, the newcomer is told 503.
    Second.Write("GET /t/hold HTTP/1.1\r\nHost: h\r\n\r\n");
    Other.Write("GET /t/hold HTTP/1.1\r\nHost: h\r\n\r\n");
    Another.Write("GET /t/hold HTTP/1.1\r\nHost: h\r\n\r\n");
    Held.WaitFor(3);
    std::string const Refused = Client(Server.Port(), "127.0.0.4").ReadToEnd();
    EXPECT_TRUE(Refused.starts_with("HTTP/1.1 503 ")) << Refused;
    Held.AnswerAll();
    EXPECT_TRUE(Second.ReadUntil("held").ends_with("held"));
}

TEST(HttpConnection, OneAddressCannotTakeEveryConnection)
{
    HttpServer::Limits Bounds;
    Bounds.MaximalConnections = 4;
    Bounds.MaximalConnectionsPerAddress = 2;
    HeldAnswers Held;
    TestServer Server([&](auto const&, auto const& Answer) { Held.Hold(Answer); }, Bounds);
    std::vector<std::unique_ptr<Client>> Busy;
    for(int Index = 0; Index < 2; ++Index)
    {
        Busy.push_back(std::make_unique<Client>(Server.Port(), "127.0.0.1"));
        Busy.back()->Write("GET /t/x HTTP/1.1\r\nHost: h\r\n\r\n");
    }
    Held.WaitFor(2);
    std::string const Refused = Client(Server.Port(), "127.0.0.1").ReadToEnd();
    EXPECT_TRUE(Refused.starts_with("HTTP/1.1 503 ")) << Refused;
    // Another address still gets in.
    Client Other(Server.Port(), "127.0.0.2");
    Other.Write("GET /t/x HTTP/1.1\r\nHost: h\r\n\r\n");
    Held.WaitFor(3);
    Held.AnswerAll();
    EXPECT_TRUE(Other.ReadUntil("held").ends_with("held"));
}

TEST(HttpConnection, RefusedSocketsLingerUntilTheirClientsCloseAndNoMoreThanTheBound)
{
    HttpServer::Limits Bounds;
    Bounds.MaximalConnections = 1;
    Bounds.MaximalLingeringSockets = 2;
    Bounds.LingerTime = std::chrono::hours(1);
    HeldAnswers Held;
    TestServer Server([&](auto const&, auto const& Answer) { Held.Hold(Answer); }, Bounds);
    Client Busy(Server.Port());
    Busy.Write("GET /t/x HTTP/1.1\r\nHost: h\r\n\r\n");
    Held.WaitFor(1);
    // Each newcomer reads its 503 to the end: the server has stopped sending,
    // whether its socket lingers or closed at once.
    std::vector<std::unique_ptr<Client>> Refused;
    for(int Index = 0; Index < 4; ++Index)
    {
        Refused.push_back(std::make_unique<Client>(Server.Port(), "127.0.0.2"));
        EXPECT_TRUE(Refused.back()->ReadToEnd().starts_with("HTTP/1.1 503 "));
    }
    EXPECT_EQ(Server.LingeringCount(), 2u);
    // A lingering socket closes when its client does, long before its time.
    Refused[0]->Close();
    Refused[1]->Close();
    while(Server.LingeringCount() != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Held.AnswerAll();
    EXPECT_TRUE(Busy.ReadUntil("held").ends_with("held"));
}

TEST(HttpConnection, AProducerNeverWaitsForItsClientAndOneThatFallsTooFarBehindIsClosed)
{
    HttpServer::Limits Bounds;
    Bounds.MaximalQueuedBytes = 256 * 1024;
    std::promise<void> Gone;
    std::promise<int> Taken;
    std::thread Worker;
    std::promise<void> Started;
    TestServer Server([&](auto const&, auto const& Answer) {
        Answer->OnClientGone([&Gone] { Gone.set_value(); });
        Worker = std::thread([Answer, &Taken] {
            Answer->SetStatus(200, "OK");
            auto const Block = std::make_shared<std::vector<std::uint8_t> const>(64 * 1024, 'b');
            int Sends = 0;
            bool Accepted = Answer->Send(Response::SendFlagMoreData);
            // 64 MiB for a client that reads nothing: far more than the
            // socket buffers and the queue together hold.
            for(; Accepted && Sends < 1024; ++Sends)
            {
                Answer->AddEntityChunk(Block);
                Accepted = Answer->SendEntityBody(Response::SendFlagMoreData);
            }
            Taken.set_value(Accepted ? -1 : Sends);
        });
        Started.set_value();
    });
    Client Sleeper(Server.Port());
    Sleeper.Write("GET /t/slow HTTP/1.1\r\nHost: h\r\n\r\n");
    int const Sends = Taken.get_future().get();
    Started.get_future().wait();
    Worker.join();
    EXPECT_GT(Sends, 0);
    Gone.get_future().wait();
    // The client finds its answer cut off, never complete.
    std::string const Text = Sleeper.ReadToEnd();
    EXPECT_FALSE(Text.ends_with("0\r\n\r\n"));
    EXPECT_LT(Text.size(), 64u * 1024 * 1024);
}

TEST(HttpConnection, AtShutdownAClientThatReadsNothingDoesNotHoldTheServer)
{
    HttpServer::Limits Bounds;
    // Without the shutdown send time the stop would wait an hour.
    Bounds.SendTime = std::chrono::hours(1);
    Bounds.ShutdownSendTime = std::chrono::milliseconds(100);
    std::promise<void> Queued;
    TestServer Server([&](auto const&, auto const& Answer) {
        Answer->SetStatus(200, "OK");
        Answer->AddEntityChunk(std::vector<std::uint8_t>(32 * 1024 * 1024, 'z'));
        Answer->Send();
        Queued.set_value();
    }, Bounds);
    Client Sleeper(Server.Port());
    Sleeper.Write("GET /t/big HTTP/1.1\r\nHost: h\r\n\r\n");
    Queued.get_future().wait();
    Server.Stop();
    EXPECT_LT(Sleeper.ReadToEnd().size(), 32u * 1024 * 1024);
}

TEST(HttpConnection, TheClientATrustedProxyNamesIsTheLastForwardedAddress)
{
    auto const Peer = boost::asio::ip::make_address("127.0.0.1");
    static constexpr char const* Rows[][2] = {
        {"10.0.0.1", "10.0.0.1"},
        {"203.0.113.9, 10.0.0.1", "10.0.0.1"}, // what the proxy added is last; the rest is the client's word
        {"10.0.0.1,2001:db8::7 ", "2001:db8::7"},
        {"::ffff:10.0.0.2", "10.0.0.2"},
        {"", "127.0.0.1"},
        {"10.0.0.1, ", "127.0.0.1"},
        {"unknown", "127.0.0.1"},
        {"10.0.0.1:4711", "127.0.0.1"},
        {"[2001:db8::7]", "127.0.0.1"},
    };
    for(auto const& [ForwardedFor, Client] : Rows)
        EXPECT_EQ(HttpServer::ConnectionSet::ForwardedClient(ForwardedFor, Peer).to_string(), Client) << ForwardedFor;
}

// How each kind of answer ends, as its observer is told: the status that
// went out, the body bytes the client was sent, and whether it was whole.
TEST(HttpConnection, AnAnswersObserverLearnsOnceHowItWentOut)
{
    struct Case
    {
        char const* Name;
        char const* Method;
        // Sends the answer; the body is 1,000 bytes in every case that sends one.
        std::function<void(Response&)> Answer;
        unsigned Status;
        std::uint64_t BodyBytes;
        bool Completed;
        bool Written;
    };
    auto const Thousand = [](Response& Answer) { Answer.AddEntityChunk(std::string(1000, 'x')); };
    std::vector<Case> const Cases{
        {"whole", "GET", [&](Response& Answer) { Answer.SetStatus(200, "OK"); Thousand(Answer); Answer.Send(); }, 200, 1000, true, true},
        {"chunked in two sends", "GET",
         [](Response& Answer) {
             Answer.SetStatus(206, "Partial Content");
             Answer.AddEntityChunk(std::string(400, 'a'));
             Answer.Send(Response::SendFlagMoreData);
             Answer.AddEntityChunk(std::string(600, 'b'));
             Answer.SendEntityBody();
         },
         206, 1000, true, true},
        {"head alone", "HEAD", [&](Response& Answer) { Answer.SetStatus(200, "OK"); Thousand(Answer); Answer.Send(); }, 200, 0, true, true},
        {"aborted after the head and a piece", "GET",
         [](Response& Answer) {
             Answer.SetStatus(200, "OK");
             Answer.AddEntityChunk(std::string(300, 'a'));
             Answer.Send(Response::SendFlagMoreData);
             Answer.Abort();
         },
         200, 300, false, true},
        {"aborted before anything", "GET", [](Response& Answer) { Answer.Abort(); }, 0, 0, false, false},
    };
    for(auto const& Row : Cases)
    {
        SCOPED_TRACE(Row.Name);
        std::promise<HttpServer::AnswerOutcome> Told;
        std::atomic<int> Calls{0};
        std::chrono::steady_clock::time_point Arrival;
        TestServer Server([&](auto const& Request, auto const& Answer) {
            Arrival = Request->GetArrivalTime();
            Answer->OnFinished([&](HttpServer::AnswerOutcome const& Outcome) {
                if(Calls++ == 0)
                    Told.set_value(Outcome);
            });
            Row.Answer(*Answer);
        });
        Client Asker(Server.Port());
        std::string const Text = Asker.Exchange(std::string(Row.Method) + " /t/x HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n");
        auto const Outcome = Told.get_future().get();
        Server.Stop();
        EXPECT_EQ(Calls.load(), 1);
        EXPECT_EQ(Outcome.Status, Row.Status);
        EXPECT_EQ(Outcome.BodyBytes, Row.BodyBytes);
        EXPECT_EQ(Outcome.Completed, Row.Completed);
        ASSERT_EQ(Outcome.FirstByteTime.has_value(), Row.Written);
        if(Row.Written)
        {
            EXPECT_LE(Arrival, *Outcome.FirstByteTime);
            EXPECT_LE(*Outcome.FirstByteTime, *Outcome.LastByteTime);
            EXPECT_NE(Text.find(std::to_string(Row.Status)), std::string::npos);
        }
    }
}
