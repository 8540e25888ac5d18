// SPDX-License-Identifier: GPL-2.0-or-later
// A live segment paced by its schedule, on a clock the test moves: what
// arrives is exactly the fragments that are due.
#include "app/live/PacedEdge.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "http/HttpTestTools.h"

using namespace Application;
using HttpServer::Testing::Client;
using HttpServer::Testing::TestServer;

namespace
{
constexpr std::int64_t Start = 133'485'408'000'000'000;
constexpr std::size_t FragmentCount = 5;

// Fragment K of a segment: 100 bytes of one letter.
std::string FragmentText(std::size_t K)
{
    return std::string(100, static_cast<char>('a' + K));
}

// Fragments [First, Last), released together: one chunk.
std::string Chunk(std::size_t First, std::size_t Last)
{
    std::string Payload;
    for(std::size_t K = First; K < Last; ++K)
        Payload += FragmentText(K);
    char Size[16];
    std::snprintf(Size, sizeof Size, "%zX", Payload.size());
    return Size + ("\r\n" + Payload) + "\r\n";
}

class PacedEdgeTest : public ::testing::Test
{
protected:
    PacedEdgeTest()
    {
        VideoVariant Variant;
        Variant.FrameRateN = 25;
        Variant.FrameRateD = 1;
        Variant.SegmentDuration = 10'000'000;
        auto const Schedule = FragmentSchedule::ForVideo(Variant, 0, Start);
        m_Server.emplace([this, Schedule](auto const& Request, auto const& Response) {
            Response->SetEdge(std::make_shared<PacedEdge>(Schedule, [this] { return m_Now.load(); }));
            if(Request->GetAbsPath() == "/t/missing")
            {
                Response->SetStatus(404, "Not Found");
                Response->AddEntityChunk(std::string("not yet"));
                Response->Send();
                return;
            }
            // The whole segment at once, as from the cache: one piece a fragment.
            Response->SetStatus(200, "OK");
            for(std::size_t K = 0; K < FragmentCount; ++K)
                Response->AddEntityChunk(FragmentText(K));
            Response->Send();
        });
        m_Due = [Schedule](std::size_t K) { return Schedule.DueTime(K); };
    }

    std::unique_ptr<Client> Ask(std::string_view Path)
    {
        auto Connection = std::make_unique<Client>(m_Server->Port());
        Connection->Write("GET /t/" + std::string(Path) + " HTTP/1.1\r\nHost: h\r\n\r\n");
        return Connection;
    }

    std::atomic<std::int64_t> m_Now{Start};
    std::function<std::int64_t(std::size_t)> m_Due;
    std::optional<TestServer> m_Server;
};
} // namespace

TEST_F(PacedEdgeTest, EachFragmentGoesOutWhenItIsDueAsAChunkOfTheBody)
{
    m_Now = m_Due(1);
    auto const Paced = Ask("segment");
    auto const Head = Paced->ReadUntil("\r\n\r\n");
    EXPECT_NE(Head.find("Transfer-Encoding: chunked\r\n"), std::string::npos) << Head;
    EXPECT_EQ(Head.find("Content-Length"), std::string::npos) << Head;
    EXPECT_EQ(Paced->ReadUntil(FragmentText(1) + "\r\n"), Chunk(0, 2));
    // The edge's timer ends and ends again; nothing is due until the clock moves.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    m_Now = m_Due(FragmentCount - 1);
    EXPECT_EQ(Paced->ReadUntil("\r\n0\r\n\r\n"), Chunk(2, FragmentCount) + "0\r\n\r\n");
}

TEST_F(PacedEdgeTest, AnAnswerOtherThan200PassesAsItIs)
{
    auto const Text = Ask("missing")->ReadUntil("not yet");
    EXPECT_TRUE(Text.starts_with("HTTP/1.1 404 Not Found\r\n")) << Text;
    EXPECT_NE(Text.find("Content-Length: 7\r\n"), std::string::npos) << Text;
}

TEST_F(PacedEdgeTest, WhenTheServerStopsWhatWasMadeGoesAtOnce)
{
    auto const Paced = Ask("segment");
    Paced->ReadUntil("\r\n\r\n");
    m_Server->Stop();
    EXPECT_EQ(Paced->ReadToEnd(), Chunk(0, FragmentCount) + "0\r\n\r\n");
}
