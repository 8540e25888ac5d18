// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routing/RequestRouter.h"

#include <chrono>

#include "base/Trace.h"

#include "app/routing/BasePath.h"
#include "app/context/Console.h"
#include "app/answers/CrossOriginHeaders.h"
#include "app/answers/ErrorAnswer.h"
#include "app/sessions/CmcdReader.h"
#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"

namespace Application
{
RequestRouter::RequestRouter(std::vector<std::string> BasePaths, RouteTable const& Routes, ServerContext& Context) :
    m_BasePaths(std::move(BasePaths)), m_Routes(Routes), m_Context(Context)
{
}

void RequestRouter::Answer(std::shared_ptr<HttpServer::Request> const& Request, std::shared_ptr<HttpServer::Response> const& Response) const
{
    Request->Trace();
    CountAnswer(*Request, *Response);
    try
    {
        ConsoleLine("Request: %s", PrintableText(Request->GetFullUrl()).c_str());
        // The client as counted for its address's limits (a trusted proxy's
        // forwarded client), for the debug output.
        TRACE("Request from %s\n", Request->GetClientAddress().c_str());
        switch(Request->GetVerb())
        {
        case HttpServer::Verb::Get:
        case HttpServer::Verb::Head:
            Route(Request, Response);
            break;
        case HttpServer::Verb::Options:
            AnswerOptions(*Response);
            break;
        case HttpServer::Verb::Post:
            // Only a route that takes a body answers POST; any other path
            // gets the answer of a method the server does not serve.
            if(TakesPost(*Request))
            {
                Route(Request, Response);
                break;
            }
            [[fallthrough]];
        default:
            ThrowCheckFailure(FailureCode::UnexpectedMethod, TRACE_CONTEXT(), "Request->Verb",
                              StringFormat("Unexpected HTTP request method, Request->Verb %u", static_cast<unsigned>(Request->GetVerb())));
        }
    }
    catch(std::exception const& Exception)
    {
        AnswerFailure(*Response, Exception);
    }
}

void RequestRouter::Route(std::shared_ptr<HttpServer::Request> const& Request, std::shared_ptr<HttpServer::Response> const& Response) const
{
    auto const Path = RemoveBasePath(Request->GetAbsPath(), m_BasePaths);
    bool const BasePathRemoved = Path.has_value();
    CHECK_CONDITION(BasePathRemoved, FailureCode::PathOutsideBasePaths);
    QueryVector QueryVector;
    Request->GetQueryStringNameValueVector(QueryVector);
    auto const [RoutePath, Pathway] = RemovePathwayPrefix(*Path);
    if(!Pathway.empty())
    {
        // The path names the pathway as "pathway=NAME" would: the routes read it so.
        auto const* Named = FindQueryValue(QueryVector, "pathway");
        if(Named && Named->Value != Pathway)
            ThrowCheckFailure(FailureCode::PathwayUnknown, TRACE_CONTEXT(), "one pathway",
                              StringFormat("The path names the pathway \"%.*s\" and the query \"pathway\" another", static_cast<int>(Pathway.size()),
                                           Pathway.data()));
        if(!Named)
            QueryVector.push_back({"pathway", std::string(Pathway)});
    }
    auto const Context = std::make_shared<RouteContext>(Request, Response, RoutePath, std::move(QueryVector), m_Context);
    BeginRecord(*Context);
    if(Request->GetVerb() == HttpServer::Verb::Post)
        m_Routes.DispatchPost(*Context);
    else
        m_Routes.Dispatch(*Context);
}

void RequestRouter::CountAnswer(HttpServer::Request const& Request, HttpServer::Response& Response) const
{
    // Paths no route has are counted together: clients choose them.
    auto const Path = RemoveBasePath(Request.GetAbsPath(), m_BasePaths);
    auto const Route = Path ? RemovePathwayPrefix(*Path).Route : std::string_view();
    std::string Counted = Path && m_Routes.HasPath(Route) ? std::string(Route) : "other";
    Response.OnHeadSent([Metrics = m_Context.Metrics, Route = std::move(Counted)](unsigned Status) { Metrics->CountAnswer(Route, Status); });
}

void RequestRouter::BeginRecord(RouteContext& Context) const
{
    auto const& Log = m_Context.Requests;
    if(!Log)
        return;
    auto Record = std::make_shared<RequestRecord>();
    Record->Arrival = Context.Request.GetArrivalTime();
    Record->ArrivalTime =
        std::chrono::duration_cast<std::chrono::microseconds>(Context.Request.GetArrivalSystemTime().time_since_epoch()).count();
    Record->Route = Context.Path;
    Record->Cmcd = CmcdReader::FromRequest(Context.Request, Context.QueryVector);
    Context.Record = Record;
    // Committed once the answer has gone out; a request that names no
    // valid asset is dropped there.
    Context.Response->OnFinished([Log, Record = std::move(Record)](HttpServer::AnswerOutcome const& Outcome) { Log->Append(*Record, Outcome); });
}

bool RequestRouter::TakesPost(HttpServer::Request const& Request) const
{
    auto const Path = RemoveBasePath(Request.GetAbsPath(), m_BasePaths);
    return Path && m_Routes.HasPostRoute(RemovePathwayPrefix(*Path).Route);
}

void RequestRouter::AnswerOptions(HttpServer::Response& Response)
{
    Response.SetStatus(204, "No Content");
    AddCrossOriginHeaders(Response);
    Response.Send();
}
} // namespace Application
