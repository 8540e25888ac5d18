// SPDX-License-Identifier: GPL-2.0-or-later
// Requests that wait for their time, on a clock the test moves.
#include "app/live/HeldRequests.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "http/HttpTestTools.h"
#include "mf/MfTestTools.h"

using namespace Application;
using HttpServer::Testing::AnswerText;
using HttpServer::Testing::Client;
using HttpServer::Testing::TestServer;

namespace
{
constexpr std::int64_t Start = 133'485'408'000'000'000;
constexpr std::int64_t Millisecond = 10'000;

class HeldRequestsTest : public ::testing::Test
{
protected:
    explicit HeldRequestsTest(std::size_t Limit = 2)
    {
        HttpServer::Limits Bounds;
        Bounds.MaximalHeldAnswersPerAddress = 1;
        m_Server.emplace(
            [this](auto const& Request, auto const& Response) {
                // The path says how far ahead the answer is due.
                std::int64_t const Due = Start + std::stoll(Request->GetAbsPath().substr(3)) * Millisecond;
                if(!m_Held->Hold(Response, Due, [Response] { AnswerText(*Response, "due"); }))
                    AnswerText(*Response, "refused");
            },
            Bounds);
        m_Held.emplace([this] { return m_Now.load(); }, m_Metrics, ServerMetrics::Gauge::HeldPlaylists, Limit);
    }
    ~HeldRequestsTest() override { Stop(); }

    // The server stops: the holds belong to the I/O thread and end there.
    void Stop()
    {
        if(std::exchange(m_Stopped, true))
            return;
        m_Server->RunOnLoop([this] { m_Held->Stop(); });
        m_Server->Stop();
    }

    std::unique_ptr<Client> Ask(std::string_view Path, char const* From = "127.0.0.1")
    {
        auto Connection = std::make_unique<Client>(m_Server->Port(), From);
        Connection->Write("GET /t/" + std::string(Path) + " HTTP/1.1\r\nHost: h\r\n\r\n");
        return Connection;
    }
    std::int64_t HeldCount() const { return m_Metrics->Get(ServerMetrics::Gauge::HeldPlaylists); }

    std::atomic<std::int64_t> m_Now{Start};
    std::shared_ptr<ServerMetrics> m_Metrics = std::make_shared<ServerMetrics>();
    std::optional<HeldRequests> m_Held;
    std::optional<TestServer> m_Server;
    bool m_Stopped = false;
};
} // namespace

TEST_F(HeldRequestsTest, AnsweredWhenTheClockReachesTheirTimeNotBefore)
{
    auto const Soon = Ask("20");
    auto const Now = Ask("0", "127.0.0.2");
    EXPECT_TRUE(Now->ReadUntil("due").ends_with("due"));
    ASSERT_TRUE(MF::Testing::WaitUntil([&] { return HeldCount() == 1; }));
    // Its timer ends and ends again: the clock the server reads decides.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(HeldCount(), 1);
    m_Now = Start + 20 * Millisecond;
    EXPECT_TRUE(Soon->ReadUntil("due").ends_with("due"));
    EXPECT_TRUE(MF::Testing::WaitUntil([&] { return HeldCount() == 0; }));
}

TEST_F(HeldRequestsTest, BoundedInAllAndPerClientAndEndedByClientsThatLeave)
{
    auto First = Ask("1000");
    ASSERT_TRUE(MF::Testing::WaitUntil([&] { return HeldCount() == 1; }));
    // One held answer per address here: the same client is refused ...
    EXPECT_TRUE(Ask("1000")->ReadUntil("refused").ends_with("refused"));
    // ... another is held, and a third address meets the overall limit of two.
    auto const Other = Ask("1000", "127.0.0.2");
    ASSERT_TRUE(MF::Testing::WaitUntil([&] { return HeldCount() == 2; }));
    EXPECT_TRUE(Ask("1000", "127.0.0.3")->ReadUntil("refused").ends_with("refused"));
    First->Close();
    EXPECT_TRUE(MF::Testing::WaitUntil([&] { return HeldCount() == 1; }));
    // The server stops: what is held ends with its connection.
    Stop();
    EXPECT_EQ(Other->ReadToEnd(), "");
    EXPECT_EQ(HeldCount(), 0);
}
