// SPDX-License-Identifier: GPL-2.0-or-later
// Making media once for every client that asks at the same time: joining,
// leaving, the cache, whole answers for ranges, failures. Real HTTP clients
// on a real connection; the producer hands over fragments the test controls.
#include "app/production/MediaProductions.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>

#include "http/HttpTestTools.h"
#include "mf/MfTestTools.h"

using namespace Application;
using HttpServer::Testing::Client;
using HttpServer::Testing::TestServer;

namespace
{
using Counter = ServerMetrics::Counter;
using Gauge = ServerMetrics::Gauge;

SharedBytes Fragment(char Fill, std::size_t Size = 100)
{
    return std::make_shared<std::vector<std::uint8_t> const>(Size, static_cast<std::uint8_t>(Fill));
}

std::string Text(std::initializer_list<SharedBytes> Fragments)
{
    std::string Bytes;
    for(auto const& Fragment : Fragments)
        Bytes.append(Fragment->begin(), Fragment->end());
    return Bytes;
}

// The payload of a chunked body, however it was cut into chunks.
std::string Unchunk(std::string Body)
{
    std::string Payload;
    for(;;)
    {
        auto const LineEnd = Body.find("\r\n");
        std::size_t const Size = std::stoul(Body.substr(0, LineEnd), nullptr, 16);
        if(Size == 0)
            return Payload;
        Payload += Body.substr(LineEnd + 2, Size);
        Body.erase(0, LineEnd + 2 + Size + 2);
    }
}

// A producer the test steps through: it hands over the first fragment,
// waits for the test, hands over the second, then ends (or fails).
struct SteppedProducer : std::enable_shared_from_this<SteppedProducer>
{
    std::promise<void> Proceed;
    std::shared_future<void> Proceeding = Proceed.get_future().share();
    std::promise<bool> SecondTaken;
    bool Fail = false;

    SegmentProduction::Producer Make()
    {
        return [Self = shared_from_this()](SegmentProduction& Production) {
            Production.Deliver({Fragment('a')});
            Self->Proceeding.wait();
            bool const Fails = Self->Fail;
            Self->SecondTaken.set_value(Production.Deliver({Fragment('b')}));
            if(Fails)
                throw HResultError(E_FAIL, "The encoder failed");
        };
    }
};

class SegmentProductionTest : public ::testing::Test
{
protected:
    SegmentProductionTest()
    {
        // The path names the bytes: a new path, a new production.
        m_Server.emplace([this](auto const& Request, auto const& Response) {
            MediaBodyAnswer Answer{"video/mp4", "\"tag\""};
            m_Productions.Serve(*Request, Response, SegmentKey::File(Request->GetAbsPath(), ""), std::move(Answer), true, m_Group, false,
                                m_Producer->Make());
        });
    }
    ~SegmentProductionTest() override { m_Server.reset(); }

    // Once Count requests have joined the making: a request is read by the
    // server some time after the client sent it.
    bool Joined(std::uint64_t Count)
    {
        return MF::Testing::WaitUntil([&] { return m_Context.Metrics->Get(Counter::RequestsJoined) == Count; });
    }
    std::unique_ptr<Client> Ask(std::string const& Fields = "", std::string const& Request = "GET /t/s")
    {
        auto Connection = std::make_unique<Client>(m_Server->Port());
        Connection->Write(Request + " HTTP/1.1\r\nHost: h\r\n" + Fields + "\r\n");
        return Connection;
    }

    Settings m_Settings;
    ServerContext m_Context{m_Settings, {}};
    MediaProductions m_Productions{m_Context, 1 << 20};
    SegmentTaskGroup m_Group{1};
    std::shared_ptr<SteppedProducer> m_Producer = std::make_shared<SteppedProducer>();
    std::optional<TestServer> m_Server;
};
} // namespace

TEST_F(SegmentProductionTest, AJoinerGetsEverythingFromTheStartAndTheBodyIsKept)
{
    auto const First = Ask();
    EXPECT_NE(First->ReadUntil("\r\n\r\n").find("Transfer-Encoding: chunked"), std::string::npos);
    First->ReadUntil(std::string(100, 'a') + "\r\n");
    // The second client comes while the segment is made: what was made so
    // far at once, then the rest with the first.
    auto const Second = Ask();
    Second->ReadUntil("\r\n\r\n");
    EXPECT_EQ(Second->ReadUntil(std::string(100, 'a') + "\r\n"), "64\r\n" + std::string(100, 'a') + "\r\n");
    m_Producer->Proceed.set_value();
    std::string const Whole = Text({Fragment('a'), Fragment('b')});
    for(auto* Connection : {First.get(), Second.get()})
        EXPECT_EQ(Unchunk(Connection->ReadUntil("\r\n0\r\n\r\n")), std::string(100, 'b'));
    auto& Metrics = *m_Context.Metrics;
    EXPECT_EQ(Metrics.Get(Counter::ProductionsStarted), 1u);
    EXPECT_EQ(Metrics.Get(Counter::RequestsJoined), 1u);
    // Later clients get the kept body whole: one fragment after the other,
    // sized, and a range of it across the fragments.
    auto const Later = Ask();
    auto const Head = Later->ReadUntil("\r\n\r\n");
    EXPECT_NE(Head.find("Content-Length: 200\r\n"), std::string::npos) << Head;
    EXPECT_EQ(Later->ReadUntil(Whole), Whole);
    auto const Ranged = Ask("Range: bytes=90-109\r\n");
    EXPECT_NE(Ranged->ReadUntil("\r\n\r\n").find("206 Partial Content"), std::string::npos);
    EXPECT_EQ(Ranged->ReadUntil(Whole.substr(90, 20)), Whole.substr(90, 20));
    EXPECT_EQ(Metrics.Get(Counter::CacheHits), 2u);
    EXPECT_EQ(Metrics.Get(Gauge::ProductionsInProgress), 0);
}

TEST_F(SegmentProductionTest, ARangeJoiningAStreamIsAnsweredWholeAtTheEnd)
{
    auto const Streaming = Ask();
    Streaming->ReadUntil(std::string(100, 'a'));
    auto const Ranged = Ask("Range: bytes=150-\r\n");
    ASSERT_TRUE(Joined(1));
    m_Producer->Proceed.set_value();
    auto const Head = Ranged->ReadUntil("\r\n\r\n");
    EXPECT_NE(Head.find("206 Partial Content"), std::string::npos) << Head;
    EXPECT_NE(Head.find("Content-Range: bytes 150-199/200"), std::string::npos) << Head;
    EXPECT_EQ(Ranged->ReadUntil(std::string(50, 'b')), std::string(50, 'b'));
}

TEST_F(SegmentProductionTest, OneClientLeavingLeavesTheOthersButTheLastOneEndsTheMaking)
{
    auto Staying = Ask();
    Staying->ReadUntil(std::string(100, 'a') + "\r\n");
    Ask()->ReadUntil(std::string(100, 'a'));
    ASSERT_TRUE(Joined(1));
    m_Producer->Proceed.set_value();
    EXPECT_EQ(Unchunk(Staying->ReadUntil("\r\n0\r\n\r\n")), std::string(100, 'b'));
    // Here every client leaves: nothing is made for no one, and the
    // producer learns it at its next hand-over.
    m_Producer = std::make_shared<SteppedProducer>();
    auto First = Ask("", "GET /t/left");
    First->ReadUntil(std::string(100, 'a'));
    auto Second = Ask("", "GET /t/left");
    Second->ReadUntil(std::string(100, 'a'));
    First->Close();
    Second->Close();
    ASSERT_TRUE(MF::Testing::WaitUntil([&] { return m_Context.Metrics->Get(Gauge::ProductionsInProgress) == 0; }));
    auto const Left = m_Producer;
    Left->Proceed.set_value();
    EXPECT_FALSE(Left->SecondTaken.get_future().get());
    // Nothing partial was kept: the next client starts afresh.
    m_Producer = std::make_shared<SteppedProducer>();
    m_Producer->Proceed.set_value();
    auto const Answer = Ask("", "GET /t/left")->ReadUntil("\r\n0\r\n\r\n");
    EXPECT_EQ(Unchunk(Answer.substr(Answer.find("\r\n\r\n") + 4)), Text({Fragment('a'), Fragment('b')}));
    EXPECT_EQ(m_Context.Metrics->Get(Counter::ProductionsStarted), 3u);
}

TEST_F(SegmentProductionTest, AFailureEndsTheAnswersOfEveryClient)
{
    m_Producer->Fail = true;
    auto const Streaming = Ask();
    Streaming->ReadUntil(std::string(100, 'a'));
    auto const Ranged = Ask("Range: bytes=0-9\r\n");
    ASSERT_TRUE(Joined(1));
    m_Producer->Proceed.set_value();
    // The streaming client had its head: its body ends early, never with
    // the last chunk. The whole one had nothing yet: it gets the error.
    EXPECT_EQ(Streaming->ReadToEnd().find("\r\n0\r\n\r\n"), std::string::npos);
    auto const Answer = Ranged->ReadUntil("The encoder failed");
    EXPECT_TRUE(Answer.starts_with("HTTP/1.1 400 Bad Request\r\n")) << Answer;
    EXPECT_EQ(m_Context.Metrics->Get(Counter::ProductionsCompleted), 0u);
}

TEST_F(SegmentProductionTest, HeadMakesNothingAndGetsTheHeadAGetWould)
{
    auto const Before = Ask("", "HEAD /t/s");
    auto const Head = Before->ReadUntil("\r\n\r\n");
    EXPECT_NE(Head.find("Transfer-Encoding: chunked\r\n"), std::string::npos) << Head;
    EXPECT_EQ(m_Context.Metrics->Get(Counter::ProductionsStarted), 0u);
    m_Producer->Proceed.set_value();
    Ask()->ReadUntil("\r\n0\r\n\r\n");
    // Once kept, its length is known; nothing followed either head.
    Before->Write("HEAD /t/s HTTP/1.1\r\nHost: h\r\n\r\nGET /t/s HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_NE(Before->ReadUntil("\r\n\r\n").find("Content-Length: 200\r\n"), std::string::npos);
    EXPECT_TRUE(Before->ReadUntil("\r\n\r\n").starts_with("HTTP/1.1 200 OK\r\n"));
}
