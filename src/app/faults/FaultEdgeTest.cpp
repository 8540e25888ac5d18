// SPDX-License-Identifier: GPL-2.0-or-later
// What faults do to an answer on its way out, seen by a raw client. The
// fault kinds as players meet them are tested end to end (test_faults.py);
// here: how held answers end.
#include "app/faults/FaultEdge.h"

#include <gtest/gtest.h>

#include "http/HttpTestTools.h"

using namespace Application;
using HttpServer::Testing::Client;
using HttpServer::Testing::TestServer;

namespace
{
std::string const Body(500, 'x');

// Answers every request with Body, whole, through a FaultEdge of Effects;
// Answered is told once it has been.
std::unique_ptr<TestServer> ServerWith(FaultEffects Effects, HttpServer::Limits const& Bounds = {}, std::promise<void>* Answered = nullptr)
{
    return std::make_unique<TestServer>(
        [Effects, Answered](auto const&, auto const& Response) {
            ASSERT_TRUE(Response->Hold(true));
            Response->SetEdge(std::make_shared<FaultEdge>(Effects));
            Response->SetStatus(200, "OK");
            Response->AddEntityChunk(Body);
            Response->Send();
            if(Answered)
                Answered->set_value();
        },
        Bounds);
}

std::string Fetch(TestServer& Server)
{
    Client Connection(Server.Port());
    Connection.Write("GET /t/x HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n");
    return Connection.ReadToEnd();
}
} // namespace

TEST(FaultEdge, AHungAnswerSendsHalfAndEndsAtTheLongestHold)
{
    FaultEffects Hung;
    Hung.Hang = true;
    HttpServer::Limits Bounds;
    Bounds.LongestHold = std::chrono::milliseconds(200);
    auto const Server = ServerWith(Hung, Bounds);
    auto const Text = Fetch(*Server);
    EXPECT_NE(Text.find("Content-Length: 500\r\n"), std::string::npos) << Text;
    EXPECT_TRUE(Text.ends_with("\r\n\r\n" + Body.substr(0, 250))) << Text;
}

TEST(FaultEdge, TheServerDoesNotWaitOutADelayOrAThrottle)
{
    FaultEffects Slow;
    Slow.DelayMilliseconds = 3'600'000;
    Slow.BytesPerSecond = 1;
    std::promise<void> Answered;
    auto const Server = ServerWith(Slow, {}, &Answered);
    Client Connection(Server->Port());
    Connection.Write("GET /t/x HTTP/1.1\r\nHost: h\r\n\r\n");
    Answered.get_future().wait();
    Server->Stop();
    auto const Text = Connection.ReadToEnd();
    EXPECT_TRUE(Text.starts_with("HTTP/1.1 200 OK\r\n")) << Text;
    EXPECT_TRUE(Text.ends_with("\r\n\r\n" + Body)) << Text;
}
