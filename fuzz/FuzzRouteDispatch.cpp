// SPDX-License-Identifier: GPL-2.0-or-later
// A whole request line as a client sends it ("GET /hls/master.m3u8?live
// HTTP/1.1"), parsed as the connection parses it and answered by the
// server's router over the text and presentation routes: every input ends
// in an answer (or the refusal of a head the parser cannot read), and the
// answer is complete or aborted, never left open.
#include "FuzzCheck.h"

#include <cstdio>
#include <memory>
#include <string>

#include <boost/asio/io_context.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include "app/routes/PresentationRoutes.h"
#include "app/routing/RequestRouter.h"
#include "app/routes/TextRoutes.h"
#include "base/HResultError.h"
#include "http/Connection.h"
#include "http/RequestHeadFromMessage.h"
#include "http/Response.h"

namespace
{
// What lives for the whole run: the routes and a connection set whose
// connections have no socket (what they send fails at once, which is all
// the router needs to finish an answer).
struct Server
{
    Server()
    {
        // "Request: ..." console lines would drown the fuzzer's own.
        std::freopen("/dev/null", "w", stdout);
        Settings.Locations = {"http://127.0.0.1:1/hls/"};
        Groups.push_back(std::make_unique<Application::TextRoutes>(Context, Routes));
        Groups.push_back(std::make_unique<Application::PresentationRoutes>(Context, Routes));
        Router = std::make_unique<Application::RequestRouter>(std::vector<std::string>{"/hls/"}, Routes, Context);
        Set->Handler = [](auto const&, auto const&) {};
    }

    boost::asio::io_context IoContext;
    std::shared_ptr<HttpServer::ConnectionSet> Set = std::make_shared<HttpServer::ConnectionSet>();
    Application::Settings Settings;
    Application::ServerContext Context{Settings, "/nonexistent", 133'485'408'000'000'000 - 100'000'000, nullptr};
    Application::RouteTable Routes;
    std::vector<std::unique_ptr<Application::RouteGroup>> Groups;
    std::unique_ptr<Application::RequestRouter> Router;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* Data, std::size_t Size)
{
    static Server Instance;
    std::string const Head = std::string(Fuzz::Text(Data, Size)) + "\r\nHost: fuzz\r\n\r\n";
    boost::beast::http::request_parser<boost::beast::http::string_body> Parser;
    Parser.header_limit(static_cast<std::uint32_t>(Head.size() + 1));
    boost::beast::error_code Error;
    Parser.put(boost::asio::buffer(Head), Error);
    if(Error || !Parser.is_header_done())
        return 0; // refused by the connection before any route sees it
    std::shared_ptr<HttpServer::Request> Request;
    try
    {
        Request = std::make_shared<HttpServer::Request>(HttpServer::RequestHeadFromMessage(Parser.get()), "127.0.0.1", 1);
    }
    catch(HResultError const& Failure)
    {
        Fuzz::Expect(Failure.Code() == E_INVALIDARG, "a target the server cannot decode is an invalid argument");
        return 0;
    }
    {
        auto const Connection = std::make_shared<HttpServer::Connection>(Instance.IoContext, boost::asio::ip::tcp::socket(Instance.IoContext), Instance.Set);
        auto const Answer = std::make_shared<HttpServer::Response>(Connection, std::make_shared<HttpServer::Delivery>(), true, false);
        Instance.Router->Answer(Request, Answer);
        Fuzz::Expect(Answer->IsComplete(), "every request on these routes is answered inline");
    }
    Instance.IoContext.restart();
    Instance.IoContext.poll();
    return 0;
}
